// A seeded random walk through the real main window. Each step is one user action: typing into a cell
// or the X field, Enter, arrows and Tab, the shortcuts, the popup and main menus, the function kind,
// clicks and double clicks on the controls, chart clicks, drags and wheel steps, a column drag, pastes
// of random clipboard texts, the file commands and the print preview. Every box and dialog is answered.
// After each step the window must still answer a queued event, nothing modal may be left open, and the
// step may not have brought more boxes than its inputs can give: one box never brings the next. At the
// end the table copy must be well formed. A failure prints the seed and the step;
// QUORVEL_WALK_SEED and QUORVEL_WALK_STEPS replay it, QUORVEL_WALK_TRACE=1 prints every step (2 also
// each action as it begins). Left out: the exit, which ends the process.
#include <QCheckBox>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QWheelEvent>

#include <sys/stat.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <random>
#include <thread>

#include "app/form_compare_kinds.h"
#include "app/form_import.h"
#include "app/form_uncertainty_rules.h"
#include "calibration/form_chart.h"
#include "chart/print/chart_preview.h"
#include "chart/qt/chart_widget.h"
#include "fitting/point_extraction.h"
#include "fitting/presentation.h"
#include "runtime/number_text.h"
#include "window_fixture.h"

#ifndef QUORVEL_WALK_DEFAULT_STEPS
#define QUORVEL_WALK_DEFAULT_STEPS 2000
#endif

using namespace quorvel;
using namespace quorvel::test;

namespace {

// The most boxes one recompute brings: a failed solve and then the X field's check, or the standard
// box for a bad cell. A recompute begun outside the table nests one more when it hands the focus back.
constexpr int kRecompute = 2;
constexpr int kFromOutside = 2 * kRecompute;
// Boxes beyond a step's allowance after which the walk stops answering: an endless run of them.
constexpr int kRunaway = 30;
const QEvent::Type kPing = static_cast<QEvent::Type>(QEvent::User + 77);

int EnvInt(const char* name, int fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::atoi(value) : fallback;
}

// The named control a widget belongs to (the cell editor belongs to sgData).
QString ControlOf(const QWidget* w) {
    for (; w != nullptr; w = w->parentWidget()) {
        const QString name = w->objectName();
        if (name == "sgData" || name == "MaskEditX" || name == "CheckBox1" || name == "ComboBox1" ||
            name == "Memo1" || name == "Chart1" || name == "PanelResult" || name.startsWith("btn")) {
            return name;
        }
    }
    return {};
}

// Boxes that a key can bring, by the control with the focus.
int KeyBoxes(const QWidget* focus, int key, Qt::KeyboardModifiers mods) {
    const QString c = ControlOf(focus);
    // Any key on the help text, a modifier included, hands the focus to the table.
    const int memo = c == "Memo1" ? kRecompute : 0;
    const bool typing = key == Qt::Key_Backspace || key == Qt::Key_Delete || (key >= 0x20 && key < 0x7f);
    if (mods & Qt::ControlModifier) {
        if (key == Qt::Key_V) {
            return memo + 1 + kFromOutside;
        }
        if (key == Qt::Key_S) {
            return memo + 1;  // a row with an empty cell before a filled one is refused before the dialog
        }
        // The line edits' own editing keys (undo, cut) change their text; the file commands count
        // their dialogs.
        return memo + (typing && (c == "sgData" || c == "MaskEditX") ? 1 : 0);
    }
    if (mods & Qt::AltModifier) {
        return memo + (typing && (c == "sgData" || c == "MaskEditX") ? 1 : 0);  // the letter is typed
    }
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
        return memo + kRecompute;  // into the table from another control
    }
    const bool moving = key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left ||
                        key == Qt::Key_Right || key == Qt::Key_PageUp || key == Qt::Key_PageDown;
    if (c == "sgData") {
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            return 2 * (1 + kRecompute);  // column 1: two cell changes
        }
        return moving ? 1 + kRecompute : typing ? 1 : 0;
    }
    if (c == "MaskEditX") {
        return typing ? 1 : 0;
    }
    if (c == "ComboBox1") {
        return kFromOutside;
    }
    if (moving) {
        return memo + kRecompute;  // arrows move the focus from button to button, and on
    }
    if (key == Qt::Key_Space && (c == "CheckBox1" || c == "btnCopy" || c == "btnPrint")) {
        return 1 + kFromOutside;
    }
    return memo + (key == Qt::Key_Space && c == "btnGraphCopy" ? 1 : 0);
}

// The text a keyboard gives with a key: Ctrl makes control characters of letters only.
QString KeyText(int key, Qt::KeyboardModifiers mods) {
    if (key >= 0x20 && key < 0x7f) {
        QChar c = QChar(key).toLower();
        if (mods & Qt::ControlModifier) {
            return c.isLetter() ? QString(QChar(c.unicode() & 0x1f)) : QString(c);
        }
        return (mods & Qt::ShiftModifier) ? QString(QChar(key)) : QString(c);
    }
    switch (key) {
        case Qt::Key_Return:
            return "\r";
        case Qt::Key_Backspace:
            return "\b";
        case Qt::Key_Escape:
            return "\x1b";
        case Qt::Key_Tab:
            return "\t";
        case Qt::Key_Delete:
            return "\x7f";
        default:
            return {};
    }
}

int ClickBoxesInPlace(const QString& c, Qt::MouseButton button, int clicks, bool dbl);

// Boxes that a click (or, double, a double click) can bring, by the control under the mouse. Any
// button gives the focus, and so enters the table; only the left one clicks.
int ClickBoxes(const QWidget* target, Qt::MouseButton button, bool dbl) {
    const QString c = ControlOf(target);
    const int clicks = dbl ? 2 : 1;
    // Elsewhere than on the table, a press may end an edit of it: the focus leaves it, or the press is
    // on a control the edit disabled; that recomputes once.
    const int leave = c == "sgData" ? 0 : kRecompute;
    return leave + ClickBoxesInPlace(c, button, clicks, dbl);
}

int ClickBoxesInPlace(const QString& c, Qt::MouseButton button, int clicks, bool dbl) {
    if (button != Qt::LeftButton) {
        return c == "sgData" || c == "Memo1" ? clicks * kRecompute : 0;
    }
    if (c == "sgData") {
        return 1 + kRecompute + (dbl ? 2 * kRecompute : 0) + kRecompute;  // + entry from elsewhere
    }
    if (c == "PanelResult") {
        return clicks * kFromOutside;
    }
    if (c == "Memo1") {
        return clicks * kRecompute;
    }
    if (c == "CheckBox1" || c == "btnCopy" || c == "btnPrint") {
        return clicks * (1 + kFromOutside);
    }
    return c == "btnGraphCopy" ? clicks : 0;
}

// Boxes that a menu item can bring.
int ItemBoxes(const QString& item) {
    if (item == "itmLine" || item == "itmDouble" || item == "itmCubic" || item == "itmGraphPrint") {
        return kFromOutside;
    }
    if (item.startsWith("itmClear") || item.startsWith("itmTablPaste")) {
        return 1 + kFromOutside;
    }
    if (item == "itmApply" || item == "itmReport") {
        return 1;  // a table that gives no fit says so before any dialog
    }
    if (item == "itmUncertainties") {
        return kFromOutside;  // the recompute with or without the columns
    }
    if (item == "itmFillUncertainties") {
        return 2 + kFromOutside;  // a rule that is none, a value that is none, the recompute
    }
    if (item == "itmCompareKinds") {
        return 1 + kFromOutside;  // an uncertainty that is wrong, or the recompute of the kind chosen
    }
    if (item == "itmWrite") {
        return 1;  // a row with an empty cell before a filled one is refused before the dialog
    }
    return item == "itmGraphCopy" ? 1 : 0;  // copy: none; read and import count their dialogs
}

QString Cell(const TGridModel& model, int col, int row) {
    const std::string_view text = model.CellText(col, row);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Empty when text is the table copy of model: row count - 1 lines of Y TAB X CR LF (and TAB u(Y) TAB u(X)
// while the table shows them).
QString CopyProblem(const QString& text, const TGridModel& model) {
    if (!text.endsWith("\r\n") && model.RowCount() > 1) {
        return "the copy does not end with CR LF";
    }
    QStringList lines = text.split("\r\n");
    lines.removeLast();
    if (lines.size() != model.RowCount() - 1) {
        return QString("%1 lines for %2 rows").arg(lines.size()).arg(model.RowCount());
    }
    for (int r = 1; r < model.RowCount(); ++r) {
        const QString& line = lines[r - 1];
        QString expected = Cell(model, 0, r);
        for (int col = 1; col < model.Columns(); ++col) {
            expected += '\t' + Cell(model, col, r);
        }
        if (line.count('\t') != model.Columns() - 1 || line.contains('\r') || line.contains('\n') ||
            line != expected) {
            return QString("row %1 copied as \"%2\"").arg(r).arg(line);
        }
    }
    return {};
}

struct TStepLog {
    int step;
    QString action;
    int boxes;
    int allowance;
};

// Answers every box and dialog as it shows, with answers drawn from the seed, the step and the count
// of boxes so far, so a run replays. Counts the boxes of the step against its allowance.
class TResponder : public QObject {
public:
    TResponder(uint64_t seed, QString files) : seed_(seed), files_(std::move(files)) {
        qApp->installEventFilter(this);
    }
    ~TResponder() override { qApp->removeEventFilter(this); }

    void BeginStep(int step) {
        step_ = step;
        boxes_ = 0;
        allowance_ = 0;
        seen_.clear();
    }
    void Allow(int boxes) { allowance_ += boxes; }
    int Boxes() const { return boxes_; }
    int Allowance() const { return allowance_; }
    int Total() const { return total_; }
    const QStringList& Seen() const { return seen_; }
    std::function<QString()> Describe;  // the step so far, for a runaway report
    bool pinged = false;

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == kPing) {
            pinged = true;
            return true;
        }
        if (event->type() == QEvent::Show && object->isWidgetType()) {
            if (auto* box = qobject_cast<QMessageBox*>(object)) {
                OnBox(box);
            } else if (auto* dialog = qobject_cast<QFileDialog*>(object)) {
                OnFileDialog(dialog);
            } else if (auto* preview = qobject_cast<TChartPreview*>(object)) {
                Repeat(preview, [preview] { preview->reject(); });
            } else if (auto* import = qobject_cast<TFormImport*>(object)) {
                OnImportDialog(import);
            } else if (auto* kinds = qobject_cast<TFormCompareKinds*>(object)) {
                const bool select = Rng()() % 2 == 0;
                Repeat(kinds, [kinds, select] {
                    auto* button = kinds->findChild<QPushButton*>("btnSelectRecommended");
                    if (select && button->isEnabled()) {
                        button->click();
                    } else {
                        kinds->reject();
                    }
                });
            } else if (auto* rules = qobject_cast<TFormUncertaintyRules*>(object)) {
                OnRulesDialog(rules);
            }
        }
        return false;
    }

private:
    std::mt19937_64 Rng() {
        std::seed_seq seq{seed_, static_cast<uint64_t>(step_), static_cast<uint64_t>(++draws_)};
        return std::mt19937_64(seq);
    }

    // Runs the answer once the dialog's loop runs, and again while the dialog stays up.
    void Repeat(QWidget* dialog, std::function<void()> answer) {
        QPointer<QWidget> guard(dialog);
        QTimer::singleShot(0, dialog, [this, guard, answer] {
            if (guard.isNull() || !guard->isVisible()) {
                return;
            }
            answer();
            if (!guard.isNull() && guard->isVisible()) {
                Repeat(guard.data(), answer);
            }
        });
    }

    void OnBox(QMessageBox* box) {
        ++boxes_;
        ++total_;
        seen_ << box->windowTitle() + ": " + box->text().left(60).replace('\n', ' ');
        if (boxes_ > allowance_ + kRunaway) {
            qCritical("Endless run of boxes: seed %llu, step %d, %d boxes for an allowance of %d in %s\n%s",
                      static_cast<unsigned long long>(seed_), step_, boxes_, allowance_,
                      qPrintable(Describe ? Describe() : QString()), qPrintable(seen_.join("\n")));
            std::abort();
        }
        Repeat(box, [this, box] {
            std::mt19937_64 rng = Rng();
            const QList<QAbstractButton*> buttons = box->buttons();
            switch (rng() % 4) {
                case 0: {  // the keyboard: Enter, Escape or Space, wherever the platform put the focus
                    static const Qt::Key keys[] = {Qt::Key_Return, Qt::Key_Escape, Qt::Key_Space};
                    QWindow* target = QGuiApplication::focusWindow();
                    QTest::keyClick(target != nullptr ? target : box->windowHandle(), keys[rng() % 3]);
                    break;
                }
                case 1:
                    box->close();  // the title bar's close button
                    break;
                default:
                    if (!buttons.isEmpty()) {
                        QAbstractButton* b = buttons[static_cast<int>(rng() % buttons.size())];
                        QTest::mouseClick(b, Qt::LeftButton, {}, b->rect().center());
                    }
                    break;
            }
        });
    }

    // The rules' dialog: rules (or a text that is none) in either field, then OK, or a cancel.
    void OnRulesDialog(TFormUncertaintyRules* dialog) {
        std::mt19937_64 rng = Rng();
        static const char* const rules[] = {"", "0.05", "2%", "0.01+1%", "x", "-1"};
        const QString uy = rules[rng() % 6];
        const QString ux = rules[rng() % 6];
        const bool onlyEmpty = rng() % 2 == 0;
        const bool cancel = rng() % 5 == 0;
        Repeat(dialog, [dialog, uy, ux, onlyEmpty, cancel] {
            if (cancel || QApplication::activeModalWidget() != dialog) {
                dialog->reject();
                return;
            }
            dialog->findChild<QLineEdit*>("edtRuleUY")->setText(uy);
            dialog->findChild<QLineEdit*>("edtRuleUX")->setText(ux);
            dialog->findChild<QCheckBox*>("chkOnlyEmpty")->setChecked(onlyEmpty);
            dialog->accept();
            if (dialog->isVisible()) {
                dialog->reject();  // a rule that is none: its box was answered, the dialog goes
            }
        });
    }

    // The import's dialog: a separator, a decimal character or a header chosen at random, then the import
    // where it is offered, or a cancel. Its box or the recompute is allowed with its file's choice.
    void OnImportDialog(TFormImport* dialog) {
        std::mt19937_64 rng = Rng();
        const std::uint64_t choice = rng();
        Repeat(dialog, [dialog, choice] {
            switch (choice % 4) {
                case 0:
                    dialog->findChild<QComboBox*>("cmbSeparator")
                        ->setCurrentIndex(static_cast<int>(choice / 4 % 4));
                    break;
                case 1:
                    dialog->findChild<QComboBox*>("cmbDecimal")
                        ->setCurrentIndex(static_cast<int>(choice / 4 % 2));
                    break;
                case 2:
                    dialog->findChild<QSpinBox*>("edtHeaderLines")
                        ->setValue(static_cast<int>(choice / 4 % 3));
                    break;
                default:
                    break;
            }
            auto* import = dialog->findChild<QPushButton*>("btnImport");
            if (choice / 16 % 5 != 0 && import->isEnabled()) {
                import->click();
            } else {
                dialog->findChild<QPushButton*>("btnCancel")->click();
            }
        });
    }

    void OnFileDialog(QFileDialog* dialog) {
        std::mt19937_64 rng = Rng();
        QString path;
        if (dialog->acceptMode() == QFileDialog::AcceptOpen) {
            // The files the walk wrote and its own, a pipe and a name that does not exist.
            QStringList names = QDir(files_).entryList({"*.txt"}, QDir::Files);
            names << "pipe"
                  << "missing.txt";
            const int pick = static_cast<int>(rng() % (names.size() + 1));
            if (pick < names.size()) {
                path = files_ + "/" + names[pick];
                if (names[pick] == "random.txt") {
                    WriteRandomFile(path, rng);
                }
                Allow(1 + kFromOutside);  // the open failure or the reader's box, and the recompute
            }
        } else {
            static const char* const targets[] = {"saved1.txt", "saved2.txt", "pipe", nullptr};
            if (const char* t = targets[rng() % 4]) {
                path = files_ + "/" + t;
                Allow(1);  // the open failure of the pipe, answered Retry, shows the dialog again
            }
        }
        Repeat(dialog, [dialog, path] {
            if (path.isEmpty()) {
                dialog->reject();
                return;
            }
            if (auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit")) {
                edit->setText(path);
            } else {
                dialog->selectFile(path);
            }
            QMetaObject::invokeMethod(dialog, "accept");
        });
    }

    static void WriteRandomFile(const QString& path, std::mt19937_64& rng) {
        static const char* const words[] = {"1", "-2.5", "3,75", "1e3", "abc", "+", "0", "12", ".", "7e-2"};
        static const char* const gaps[] = {" ", "\t", "  ", " \t "};
        static const char* const ends[] = {"\n", "\r\n", "\n\n", ""};
        std::ofstream out(path.toStdString(), std::ios::binary | std::ios::trunc);
        const int lines = static_cast<int>(rng() % 30);
        for (int i = 0; i < lines; ++i) {
            out << words[rng() % 10] << gaps[rng() % 4] << words[rng() % 10];
            if (rng() % 5 == 0) {
                out << gaps[rng() % 4] << words[rng() % 10];
            }
            out << ends[i + 1 < lines ? rng() % 3 : rng() % 4];
        }
    }

    uint64_t seed_;
    QString files_;
    int step_ = 0;
    int draws_ = 0;
    int boxes_ = 0;
    int allowance_ = 0;
    int total_ = 0;
    QStringList seen_;
};

// Ends the process with the seed and step when a step blocks the loop for good.
class TWatchdog {
public:
    TWatchdog(uint64_t seed, int seconds) : seed_(seed) {
        thread_ = std::thread([this, seconds] {
            int last = -1;
            auto since = std::chrono::steady_clock::now();
            while (!done_) {
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
                const int step = step_;
                if (step != last) {
                    last = step;
                    since = std::chrono::steady_clock::now();
                } else if (std::chrono::steady_clock::now() - since > std::chrono::seconds(seconds)) {
                    std::fprintf(stderr, "The window hangs: seed %llu, step %d\n",
                                 static_cast<unsigned long long>(seed_), step);
                    std::abort();
                }
            }
        });
    }
    ~TWatchdog() {
        done_ = true;
        thread_.join();
    }
    void Step(int step) { step_ = step; }

private:
    uint64_t seed_;
    std::atomic<int> step_{0};
    std::atomic<bool> done_{false};
    std::thread thread_;
};

class TWalk {
public:
    TWalk(uint64_t seed, const QString& files) : rng_(seed), seed_(seed), responder_(seed, files) {
        responder_.Describe = [this] { return action_; };
    }

    TWindow window;

    // One step: an action chosen at random, then the checks. Empty when all is well.
    QString Step(int step) {
        responder_.BeginStep(step);
        action_.clear();
        Act();
        // Menus or lists the action left open are closed, as the next click elsewhere would.
        for (int guard = 0; QApplication::activePopupWidget() != nullptr && guard < 5; ++guard) {
            QApplication::activePopupWidget()->close();
        }
        if (!window.form->isActiveWindow() && QApplication::activeModalWidget() == nullptr) {
            window.form->activateWindow();  // as the window manager does once a box has gone
        }
        const bool answers = Answers();
        log_.push_back({step, action_, responder_.Boxes(), responder_.Allowance()});
        if (log_.size() > 25) {
            log_.pop_front();
        }
        if (EnvInt("QUORVEL_WALK_TRACE", 0) != 0) {
            const QWidget* focus = window.form->focusWidget();
            std::fprintf(stderr, "%d: %s [%d/%d] focus %s\n", step, qPrintable(action_), responder_.Boxes(),
                         responder_.Allowance(), focus != nullptr ? focus->metaObject()->className() : "-");
        }
        QString problem;
        if (!answers) {
            problem = "the window does not answer";
        } else if (QApplication::activeModalWidget() != nullptr) {
            problem = "a modal window is left open";
        } else if (!window.form->isEnabled() || QGuiApplication::overrideCursor() != nullptr) {
            problem = "the window is left disabled or busy";
        } else if (responder_.Boxes() > responder_.Allowance()) {
            problem = QString("%1 boxes for an allowance of %2")
                          .arg(responder_.Boxes())
                          .arg(responder_.Allowance());
        } else if (window.Model()->RowCount() < 2) {
            problem = "the table lost its entry row";
        } else if (const QString shown = ResultsProblem(); !shown.isEmpty()) {
            problem = shown;
        } else {
            problem = copyProblem_;
        }
        if (problem.isEmpty()) {
            return {};
        }
        QString report = QString("seed %1, step %2 (%3): %4\nboxes: %5\nlast steps:")
                             .arg(seed_)
                             .arg(step)
                             .arg(action_, problem, responder_.Seen().join(" | "));
        for (const TStepLog& s : log_) {
            report += QString("\n  %1: %2 [%3/%4]").arg(s.step).arg(s.action).arg(s.boxes).arg(s.allowance);
        }
        return report;
    }

    // Results on show that are not marked as stale must be the table's: its formula, and Y at X of its
    // fit (none without one). Marked ones may not be copied, printed or written to a report.
    QString ResultsProblem() const {
        if (window.Find<QWidget>("PanelResult")->property("stale").toBool()) {
            for (const char* name : {"btnCopy", "btnGraphCopy", "btnPrint"}) {
                if (window.Find<QWidget>(name)->isEnabled()) {
                    return QString("%1 is enabled beside results marked as stale").arg(name);
                }
            }
            for (const char* name : {"itmReport", "itmApply", "itmGraphCopy", "itmGraphPrint"}) {
                if (window.Find<QAction>(name)->isEnabled()) {
                    return QString("%1 is enabled beside results marked as stale").arg(name);
                }
            }
            return {};
        }
        const QString formula = window.Caption("PanelResult");
        if (!formula.startsWith("Y = ")) {
            return {};  // the layout's texts or "Мало данных"
        }
        const auto kind = static_cast<TFunctionKind>(window.Find<QComboBox>("ComboBox1")->currentIndex() + 1);
        TFitCoefficients store;
        TRecomputeResult table;
        try {
            // With the columns u(Y) and u(X), the fit with the uncertainties they give.
            if (window.Model()->UncertaintyColumns()) {
                TTablePoints read = ExtractTablePoints(*window.Model(), true);
                table = RecomputePoints(std::move(read.points), kind, store, false, true, {},
                                        read.given ? &*read.given : nullptr);
            } else {
                table = Recompute(*window.Model(), kind, store, false, true);
            }
        } catch (const std::exception& e) {
            return QString("the fit on show, unmarked, of a table that cannot be read (%1)").arg(e.what());
        }
        if (table.tooFew || table.solveFailed || QString::fromStdString(table.formula) != formula) {
            return QString("the formula on show, unmarked, is \"%1\", the table's \"%2\"")
                .arg(formula, QString::fromStdString(table.resultText));
        }
        // A recompute that stopped before its end (a curve beyond the number range) leaves Y at X empty.
        const TEvaluation at =
            EvaluateAt(window.Find<QLineEdit>("MaskEditX")->text().toStdString(), store, tsBeingTyped);
        if (table.reached < rsCurve) {
            if (!window.Caption("PanelY").isEmpty()) {
                return QString("Y at X on show is \"%1\" beside a recompute that stopped before it")
                    .arg(window.Caption("PanelY"));
            }
        } else if (at.state == TEvaluation::Evaluated &&
                   QString::fromStdString(at.yText) != window.Caption("PanelY")) {
            return QString("Y at X on show is \"%1\", the table's fit gives \"%2\"")
                .arg(window.Caption("PanelY"), QString::fromStdString(at.yText));
        }
        return {};
    }

    // The table copy of the whole table through the window's shortcut.
    QString CopyCheck() {
        Key(Qt::Key_C, Qt::ControlModifier);
        return CopyProblem(QGuiApplication::clipboard()->text(), *window.Model());
    }
    int Boxes() const { return responder_.Total(); }

private:
    int Below(int n) { return static_cast<int>(rng_() % static_cast<uint64_t>(n)); }
    bool Chance(int percent) { return Below(100) < percent; }
    void Note(const QString& s) {
        action_ += (action_.isEmpty() ? "" : ", ") + s;
        if (EnvInt("QUORVEL_WALK_TRACE", 0) > 1) {
            std::fprintf(stderr, "  ... %s\n", qPrintable(s));
        }
    }
    QWindow* Win() const { return window.form->windowHandle(); }
    QPoint At(QWidget* w, QPoint p) const { return w->mapTo(window.form.get(), p); }
    QWidget* Under(QPoint formPos) const {
        QWidget* w = window.form->childAt(formPos);
        return w != nullptr ? w : window.form.get();
    }
    TChartWidget* ChartWidget() const { return window.Find<TChartWidget>("Chart1"); }

    bool Answers() {
        responder_.pinged = false;
        QCoreApplication::postEvent(window.form.get(), new QEvent(kPing));
        QElapsedTimer timer;
        timer.start();
        while (!responder_.pinged && timer.elapsed() < 30000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return responder_.pinged;
    }

    // The window manager gives the keyboard back to the window once a box or dialog has gone.
    void GiveBackKeyboard() {
        if (!window.form->isActiveWindow() && QApplication::activeModalWidget() == nullptr &&
            QApplication::activePopupWidget() == nullptr) {
            window.form->activateWindow();
            QCoreApplication::processEvents();
        }
    }

    void Send(QEvent::Type type, int key, Qt::KeyboardModifiers mods, const QString& text = {}) {
        GiveBackKeyboard();
        qt_handleKeyEvent(Win(), type, key, mods, text);
        QCoreApplication::processEvents();
    }

    // One key as a keyboard gives it: the modifiers pressed first, each an event of its own.
    void Key(int key, Qt::KeyboardModifiers mods = {}) {
        responder_.Allow(KeyBoxes(window.form->focusWidget(), key, mods));
        static const std::pair<Qt::KeyboardModifier, Qt::Key> modifierKeys[] = {
            {Qt::ShiftModifier, Qt::Key_Shift},
            {Qt::ControlModifier, Qt::Key_Control},
            {Qt::AltModifier, Qt::Key_Alt}};
        Qt::KeyboardModifiers held;
        for (const auto& [modifier, modifierKey] : modifierKeys) {
            if (mods & modifier) {
                Send(QEvent::KeyPress, modifierKey, held);
                held |= modifier;
            }
        }
        const QString text = KeyText(key, mods);
        Send(QEvent::KeyPress, key, mods, text);
        Send(QEvent::KeyRelease, key, mods, text);
        for (auto it = std::rbegin(modifierKeys); it != std::rend(modifierKeys); ++it) {
            if (mods & it->first) {
                Send(QEvent::KeyRelease, it->second, held);
                held &= ~it->first;
            }
        }
        if ((mods & Qt::ControlModifier) && key == Qt::Key_C && copyProblem_.isEmpty()) {
            copyProblem_ = CopyProblem(QGuiApplication::clipboard()->text(), *window.Model());
        }
    }

    void Click(QWidget* w, QPoint p, Qt::MouseButton button = Qt::LeftButton, bool dbl = false) {
        const QPoint at = At(w, p);
        responder_.Allow(ClickBoxes(Under(at), button, dbl));
        GiveBackKeyboard();
        if (dbl) {
            QTest::mouseDClick(Win(), button, {}, at);
        } else {
            QTest::mouseClick(Win(), button, {}, at);
        }
    }

    void Drag(QWidget* w, QPoint from, QPoint to, Qt::MouseButton button) {
        responder_.Allow(ClickBoxes(Under(At(w, from)), button, false));
        GiveBackKeyboard();
        QTest::mousePress(Win(), button, {}, At(w, from));
        for (int i = 1; i <= 3; ++i) {
            QTest::mouseMove(Win(), At(w, from + (to - from) * i / 3));
        }
        QTest::mouseRelease(Win(), button, {}, At(w, to));
    }

    QPoint Somewhere(QWidget* w) { return {Below(std::max(1, w->width())), Below(std::max(1, w->height()))}; }

    // Chooses an item of the open popup menu with the keyboard, or leaves it with Escape.
    void ChooseInPopup() {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr) {
            return;
        }
        const int downs = Below(7);
        for (int i = 0; i < downs; ++i) {
            QTest::keyClick(menu, Qt::Key_Down);
        }
        QAction* item = menu->activeAction();
        // The exit would end the walk; the file items count their dialogs.
        if (item == nullptr || item->objectName() == "itmExit" || Chance(10)) {
            Note("Escape");
            QTest::keyClick(menu, Qt::Key_Escape);
            return;
        }
        Note(item->objectName());
        responder_.Allow(ItemBoxes(item->objectName()));
        QTest::keyClick(menu, Qt::Key_Return);
    }

    QString RandomText(int maxLength) {
        static const char alphabet[] = "0123456789012345678901234567890123456789..,,--++eEeaxz";
        QString s;
        const int n = 1 + Below(maxLength);
        for (int i = 0; i < n; ++i) {
            s += QChar(alphabet[Below(sizeof alphabet - 1)]);
        }
        return s;
    }

    QString RandomClipboard() {
        if (Chance(5)) {
            return {};
        }
        if (Chance(35)) {
            // Measured pairs as a spreadsheet gives them, so that the walk sees fits and the chart.
            const QChar mark = Chance(50) ? QChar(u'.') : QChar(static_cast<char16_t>(DecimalChar()));
            QString text;
            const int rows = 3 + Below(38);
            const double shift = Chance(30) ? -20 : 0;
            for (int r = 0; r < rows; ++r) {
                const double x = r + Below(100) / 100.0 + shift;
                const double y = 0.5 * x * x - 3 * x + Below(1000) / 100.0;
                text += QString::number(y, 'g', 7).replace('.', mark) + '\t' +
                        QString::number(x, 'g', 7).replace('.', mark) + "\r\n";
            }
            return text;
        }
        static const char* const seps[] = {"\t", "\r\n", "\n", "\r", "\t\t", "\r\n\r\n", " "};
        QString text = Chance(10) ? "\t" : "";
        const int tokens = Chance(5) ? 100 + Below(400) : Below(24);
        for (int i = 0; i < tokens; ++i) {
            text += Chance(2) ? QString(256 + Below(60), '7') : RandomText(8);
            text += seps[Below(i % 2 == 0 ? 2 : 7)];
        }
        return text;
    }

    void Act() {
        TStringGrid* grid = window.Grid();
        const int pick = Below(100);
        if (pick < 2) {
            // Keys that are no command here: the line edits' own, letters with Alt, Alt alone.
            static const std::pair<int, Qt::KeyboardModifiers> keys[] = {
                {'a', Qt::AltModifier},     {'e', Qt::AltModifier},     {'1', Qt::AltModifier},
                {'A', Qt::ControlModifier}, {'Z', Qt::ControlModifier}, {'X', Qt::ControlModifier},
                {'Y', Qt::ControlModifier}, {'1', Qt::ControlModifier}, {'-', Qt::ControlModifier},
                {'.', Qt::ControlModifier}, {Qt::Key_Home, {}},         {Qt::Key_End, {}}};
            const auto& [key, mods] = keys[Below(12)];
            Note(QString("key %1 with %2 in %3")
                     .arg(key, 0, 16)
                     .arg(mods.toInt(), 0, 16)
                     .arg(ControlOf(window.form->focusWidget())));
            Key(key, mods);
        } else if (Chance(1)) {
            Note("Alt alone");
            responder_.Allow(KeyBoxes(window.form->focusWidget(), Qt::Key_Alt, {}));
            Send(QEvent::KeyPress, Qt::Key_Alt, {});
            Send(QEvent::KeyRelease, Qt::Key_Alt, Qt::AltModifier);
        } else if (pick < 26) {
            const QString text = RandomText(6);
            Note("type \"" + text + "\" into " + ControlOf(window.form->focusWidget()));
            for (QChar c : text) {
                Key(Chance(8) ? int{Qt::Key_Backspace} : c.toLatin1());
            }
        } else if (pick < 34) {
            Note("Enter in " + ControlOf(window.form->focusWidget()));
            Key(Qt::Key_Return);
        } else if (pick < 42) {
            static const int keys[] = {Qt::Key_Up,   Qt::Key_Down,   Qt::Key_Left,    Qt::Key_Right,
                                       Qt::Key_Down, Qt::Key_PageUp, Qt::Key_PageDown};
            const int key = keys[Below(7)];
            Note(QString("key %1 in %2").arg(key, 0, 16).arg(ControlOf(window.form->focusWidget())));
            Key(key);
        } else if (pick < 51) {
            const bool dbl = Chance(20);
            const QPoint p = Somewhere(grid->viewport());
            Note(QString(dbl ? "double click" : "click") + " cell at " +
                 QString::number(grid->rowAt(p.y()) + 1));
            Click(grid->viewport(), p, Qt::LeftButton, dbl);
        } else if (pick < 54) {
            Note("Tab");
            Key(Chance(50) ? Qt::Key_Tab : Qt::Key_Backtab, Chance(50) ? Qt::ShiftModifier : Qt::NoModifier);
        } else if (pick < 58) {
            Note("Ctrl+C");
            Key(Qt::Key_C, Qt::ControlModifier);
        } else if (pick < 64) {
            const QString text = RandomClipboard();
            Note(QString("Ctrl+V of %1 characters").arg(text.size()));
            if (text.isEmpty() && Chance(50)) {
                QGuiApplication::clipboard()->clear();
            } else {
                QGuiApplication::clipboard()->setText(text);
            }
            Key(Qt::Key_V, Qt::ControlModifier);
        } else if (pick < 66) {
            const bool read = Chance(50);
            Note(read ? "Ctrl+L" : "Ctrl+S");
            Key(read ? Qt::Key_L : Qt::Key_S, Qt::ControlModifier);
        } else if (pick < 69) {
            Note("popup on the table");
            QGuiApplication::clipboard()->setText(RandomClipboard());
            Click(grid->viewport(), Somewhere(grid->viewport()), Qt::RightButton);
            ChooseInPopup();
        } else if (pick < 71) {
            // A main menu through the menu bar.
            QMenuBar* bar = window.form->menuBar();
            const QList<QAction*> menus = bar->actions();
            QAction* menu = menus[Below(static_cast<int>(menus.size()))];
            Note("menu " + menu->text());
            QGuiApplication::clipboard()->setText(RandomClipboard());
            Click(bar, bar->actionGeometry(menu).center());
            ChooseInPopup();
        } else if (pick < 75) {
            auto* combo = window.Find<QComboBox>("ComboBox1");
            Note("kind list");
            Click(combo, combo->rect().center());
            if (QWidget* popup = QApplication::activePopupWidget()) {
                QWidget* list = popup->focusWidget() != nullptr ? popup->focusWidget() : popup;
                const int moves = Below(3);
                for (int i = 0; i < moves; ++i) {
                    QTest::keyClick(list, Chance(50) ? Qt::Key_Up : Qt::Key_Down);
                }
                responder_.Allow(kFromOutside);
                QTest::keyClick(list, Chance(85) ? Qt::Key_Return : Qt::Key_Escape);
            }
        } else if (pick < 78) {
            auto* panel = window.Find<QWidget>("PanelResult");
            const bool dbl = Chance(30);
            Note(dbl ? "double click formula" : "click formula");
            Click(panel, Somewhere(panel), Qt::LeftButton, dbl);
        } else if (pick < 84) {
            auto* edit = window.Find<QLineEdit>("MaskEditX");
            const QString text = RandomText(4);
            Note("X field \"" + text + "\"");
            Click(edit, Somewhere(edit));
            if (Chance(50)) {
                edit->selectAll();
            }
            for (QChar c : text) {
                Key(Chance(15) ? int{Qt::Key_Backspace} : c.toLatin1());
            }
        } else if (pick < 86) {
            Note("check box");
            auto* box = window.Find<QWidget>("CheckBox1");
            Click(box, box->rect().center());
        } else if (pick < 89) {
            static const char* const buttons[] = {"btnCopy", "btnGraphCopy", "btnCopy", "btnGraphCopy",
                                                  "btnPrint"};
            const char* name = buttons[Below(5)];
            Note(name);
            auto* b = window.Find<QWidget>(name);
            Click(b, b->rect().center());
        } else if (pick < 97) {
            ChartAction();
        } else if (pick < 98) {
            Note("column drag");
            QHeaderView* header = grid->horizontalHeader();
            const int from = Below(2);
            const QPoint a(header->sectionViewportPosition(from) + header->sectionSize(from) / 2, 8);
            const QPoint b(header->sectionViewportPosition(1 - from) + header->sectionSize(1 - from) / 2, 8);
            responder_.Allow(1 + kFromOutside);
            Drag(header->viewport(), a, b, Qt::LeftButton);
        } else {
            auto* memo = window.Find<QWidget>("Memo1");
            Note("help text");
            Click(memo, Somewhere(memo));
            if (Chance(50)) {
                Key('a');
            }
        }
    }

    void ChartAction() {
        TChartWidget* chart = ChartWidget();
        TPointSeries& points = *FormSeries(chart->Chart()).measured;
        // Half the clicks aim at a measured point, as far as the last paint placed it.
        auto target = [&]() {
            if (chart->isVisible() && points.PointCount() > 0 && Chance(50)) {
                const int i = Below(points.PointCount());
                const QPoint p(points.CalcXPos(i), points.CalcYPos(i));
                if (chart->rect().contains(p)) {
                    return p;
                }
            }
            return Somewhere(chart);
        };
        const int pick = Below(6);
        const QPoint a = target();
        if (pick == 0 || pick == 1) {
            Note("chart click");
            Click(chart, a);
        } else if (pick == 2) {
            Note("chart zoom drag");
            Drag(chart, a, target(), Qt::LeftButton);
        } else if (pick == 3) {
            Note("chart scroll drag");
            Drag(chart, a, target(), Qt::RightButton);
            if (QApplication::activePopupWidget() != nullptr) {
                ChooseInPopup();
            }
        } else if (pick == 4) {
            const int delta = (Chance(50) ? 1 : -1) * (Chance(70) ? 120 : 40 + Below(300));
            Note(QString("wheel %1").arg(delta));
            QWidget* under = Under(At(chart, a));
            if (ControlOf(under) == "ComboBox1") {
                responder_.Allow(kFromOutside);
            }
            const QPoint local = under->mapFrom(window.form.get(), At(chart, a));
            QWheelEvent wheel(local, under->mapToGlobal(local), QPoint(), QPoint(0, delta), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(under, &wheel);
        } else {
            Note("chart popup");
            Click(chart, a, Qt::RightButton);
            ChooseInPopup();
        }
    }

    std::mt19937_64 rng_;
    uint64_t seed_;
    TResponder responder_;
    QString action_;
    QString copyProblem_;
    std::deque<TStepLog> log_;
};

QtMessageHandler previousHandler = nullptr;

// The offscreen platform's notes on what it cannot do (raise, grabs, size hints) would drown the rest.
void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (!message.startsWith("This plugin does not support")) {
        previousHandler(type, context, message);
    }
}

}  // namespace

class RandomWalkTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { previousHandler = qInstallMessageHandler(QuietHandler); }
    void cleanupTestCase() { qInstallMessageHandler(previousHandler); }

    void walkThroughTheWindow() {
        const auto seed = static_cast<uint64_t>(EnvInt("QUORVEL_WALK_SEED", 20240611));
        const int steps = EnvInt("QUORVEL_WALK_STEPS", QUORVEL_WALK_DEFAULT_STEPS);
        SetDecimalChar(seed % 2 == 0 ? U'.' : U',');
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(mkfifo(dir.filePath("pipe").toUtf8().constData(), 0600) == 0);
        std::ofstream(dir.filePath("empty.txt").toStdString());
        std::ofstream(dir.filePath("pairs.txt").toStdString()) << "1 1\n4 2\n9 3\n16 4\n26 5\n";
        std::ofstream(dir.filePath("random.txt").toStdString());

        QElapsedTimer timer;
        timer.start();
        TWatchdog watchdog(seed, 120);
        TWalk walk(seed, dir.path());
        for (int step = 1; step <= steps; ++step) {
            watchdog.Step(step);
            const QString problem = walk.Step(step);
            if (!problem.isEmpty()) {
                QFAIL(qPrintable(problem));
            }
        }
        const QString copy = walk.CopyCheck();
        QVERIFY2(copy.isEmpty(), qPrintable(QString("seed %1, final table copy: %2").arg(seed).arg(copy)));
        qInfo("seed %llu: %d steps, %d boxes answered, %lld ms", static_cast<unsigned long long>(seed), steps,
              walk.Boxes(), static_cast<long long>(timer.elapsed()));
    }
};

QTEST_MAIN(RandomWalkTest)
#include "random_walk_test.moc"

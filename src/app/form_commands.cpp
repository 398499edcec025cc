// Commands of the menus and buttons: the table through the clipboard and data files, the formula line
// to the clipboard, clearing the table and the exit. The chart's picture copy and clicks are in
// form_chart_commands.cpp.
#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include <new>

#include "app/command_dialogs.h"
#include "app/form_import.h"
#include "app/form_main.h"
#include "app/grid_model.h"
#include "app/import_command.h"
#include "app/panel.h"
#include "app/string_grid.h"
#include "app/table_commands.h"
#include "app/table_text.h"
#include "chart/print/chart_preview.h"
#include "chart/qt/chart_widget.h"
#include "runtime/message_catalog.h"
#include "ui/message_boxes.h"

namespace quorvel {

namespace {

// The boxes and dialogs of one command, owned by the window; their recompute is the window's.
TCommandDialogs Dialogs(TFormMain* window, TWorkGate* gate = nullptr) {
    const auto recompute = [window] { window->recompute(); };
    return TCommandDialogs(window, recompute, gate);
}

// The import's dialog, over the window.
TChooseImport ImportDialog(QWidget* owner) {
    return [owner](const QString& path, const std::string& head, bool whole) {
        return TFormImport::Ask(owner, path, head, whole);
    };
}

}  // namespace

void TFormMain::RunTableCommand(const std::function<void(TCommandDialogs&)>& command) {
    if (workGate_.Busy()) {
        return;
    }
    TCommandDialogs ui = Dialogs(this, &workGate_);
    inTableCommand_ = true;
    const auto closeIfAsked = [this] {
        inTableCommand_ = false;
        if (closeWhenIdle_) {
            closeWhenIdle_ = false;
            close();
        }
    };
    try {
        command(ui);
    } catch (...) {
        closeIfAsked();
        throw;
    }
    closeIfAsked();
}

void TFormMain::closeEvent(QCloseEvent* event) {
    if (workGate_.Busy()) {
        // A read or a paste stops and leaves the table as it was; a write runs to its end, so that the
        // file is saved. The window closes once the command is over.
        workGate_.RequestStop();
        closeWhenIdle_ = true;
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void TFormMain::WindowGone() {
    workGate_.RequestStop();
    // Ends every running loop; a command at work returns to none, once it has stopped or ended.
    QCoreApplication::exit(0);
}

void TFormMain::onReadFile() {
    RunTableCommand([this](TCommandDialogs& ui) {
        // A whole read gives the table its file, after the read's own changes have parted it from the
        // file it had.
        if (const std::optional<QString> path = RunReadCommand(*dataModel, ui)) {
            dataFile_ = *path;
        }
    });
}

void TFormMain::onImportTable() {
    RunTableCommand([this](TCommandDialogs& ui) {
        if (const std::optional<QString> path = RunImportCommand(*dataModel, ui, ImportDialog(this))) {
            dataFile_ = *path;
        }
    });
}

namespace {

// The one local file a drag carries, or an empty text.
QString DraggedFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls() || data->urls().size() != 1 ||
        !data->urls().constFirst().isLocalFile()) {
        return {};
    }
    return data->urls().constFirst().toLocalFile();
}

}  // namespace

void TFormMain::dragEnterEvent(QDragEnterEvent* event) {
    if (!DraggedFile(event->mimeData()).isEmpty() && !workGate_.Busy()) {
        event->acceptProposedAction();
    }
}

void TFormMain::dropEvent(QDropEvent* event) {
    const QString path = DraggedFile(event->mimeData());
    if (path.isEmpty()) {
        return;
    }
    event->acceptProposedAction();
    // The command runs after the drop has ended, so that the program the file came from is not held
    // while the dialogs and boxes wait for the user.
    QTimer::singleShot(0, this, [this, path] { onFileDropped(path); });
}

void TFormMain::onFileDropped(const QString& path) {
    RunTableCommand([this, &path](TCommandDialogs& ui) {
        std::optional<QString> read;
        if (IsCsvFileName(QFile::encodeName(path).toStdString())) {
            read = RunImportCommand(*dataModel, ui, ImportDialog(this), path);
        } else {
            read = RunReadCommandOn(path, *dataModel, ui);
        }
        if (read) {
            dataFile_ = *read;
        }
    });
}

void TFormMain::onWriteFile() {
    RunTableCommand([this](TCommandDialogs& ui) { RunWriteCommand(*dataModel, ui); });
}

void TFormMain::onCopyTable() {
    if (workGate_.Busy()) {
        return;
    }
    QGuiApplication::clipboard()->setText(TableCopyText(*dataModel));
}

void TFormMain::onPasteTable() {
    RunTableCommand([this](TCommandDialogs& ui) {
        QString text;
        try {
            text = QGuiApplication::clipboard()->text();
        } catch (const std::bad_alloc&) {
            // A clipboard too big to take is the paste's own failure, not an error of the program.
            ui.ShowError(QString::fromUtf8(Tr(kPasteOutOfMemoryText)),
                         QString::fromUtf8(Tr(kPasteFailureCaption)));
            ui.Recompute();
            return;
        }
        RunPasteCommand(text, *dataModel, ui);
    });
}

void TFormMain::onCopyFormula() {
    QGuiApplication::clipboard()->setText(formulaLine->text());
    Dialogs(this).Inform(QString::fromUtf8(Tr(kFormulaCopiedText)));
    dataGrid->SetFocus();
}

void TFormMain::onPrintChart() {
    PreviewChartWithTitle(this, chart->Chart(), formulaLine->text().toStdString());
    dataGrid->SetFocus();
}

void TFormMain::onClearTable() {
    RunTableCommand([this](TCommandDialogs& ui) { RunClearCommand(*dataModel, ui); });
}

void TFormMain::onExit() {
    if (workGate_.Busy()) {
        return;  // the command ends first: a save in progress is not cut off
    }
    // Ends every running event loop, so the entry function returns 0 at once: no closing sequence, no
    // question, nothing saved. Qt's own shutdown still runs and hands the clipboard to a clipboard
    // manager, which a direct process exit would not.
    QCoreApplication::exit(0);
}

}  // namespace quorvel

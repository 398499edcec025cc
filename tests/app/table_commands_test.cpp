// The table commands' flow: which boxes appear, in which order, and when the recompute runs.
#include "app/table_commands.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <deque>

#include "app/command_ui.h"
#include "fake_table.h"
#include "fitting/fit_types.h"

namespace quorvel {
namespace {

using test::TFakeTable;
using test::TScriptedProgress;

// Hands the commands a progress that the test keeps.
class TProgressOf : public TProgress {
public:
    explicit TProgressOf(TProgress& progress) : progress_(progress) {}
    bool Step(double done) override { return progress_.Step(done); }
    void ForbidCancel(const QString& text) override { progress_.ForbidCancel(text); }
    void Finishing(const QString& text) override { progress_.Finishing(text); }

private:
    TProgress& progress_;
};

// Scripted answers; records every call as one line of a log.
class TScriptedUi : public TCommandUi {
public:
    std::deque<std::optional<QString>> files;
    std::deque<TOpenFailureAnswer> openAnswers;
    bool confirm = true;
    QStringList log;
    TScriptedProgress progress;

    std::optional<QString> ChooseFileToRead() override { return Next("choose-read"); }
    std::optional<QString> ChooseFileToWrite() override { return Next("choose-write"); }
    TOpenFailureAnswer AskAfterOpenFailure(const QString& caption) override {
        log << "open-failure:" + caption;
        const TOpenFailureAnswer answer = openAnswers.front();
        openAnswers.pop_front();
        return answer;
    }
    void ShowError(const QString& text, const QString& caption) override {
        EXPECT_FALSE(busy_) << "a box under the busy cursor";
        log << "error:" + text + "|" + caption;
    }
    bool Confirm(const QString& question) override {
        log << "confirm:" + question;
        return confirm;
    }
    void Inform(const QString& text) override { log << "inform:" + text; }
    void SetBusy(bool busy) override { busy_ = busy; }
    std::unique_ptr<TProgress> StartProgress(const QString&, TOnClose) override {
        return std::make_unique<TProgressOf>(progress);
    }
    void Recompute() override {
        EXPECT_FALSE(busy_);
        log << "recompute";
    }

private:
    std::optional<QString> Next(const QString& what) {
        log << what;
        const std::optional<QString> file = files.front();
        files.pop_front();
        return file;
    }
    bool busy_ = false;
};

class TableCommandsTest : public ::testing::Test {
protected:
    QString Path(const QString& name) const { return dir_.filePath(name); }
    void Write(const QString& name, const QByteArray& bytes) {
        QFile file(Path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QTemporaryDir dir_;
    TScriptedUi ui_;
    TFakeTable table_{20};
};

TEST_F(TableCommandsTest, PasteRecomputesAfterSuccessAndAfterFailureBox) {
    RunPasteCommand("1\t2", table_, ui_);
    EXPECT_EQ(ui_.log, QStringList{"recompute"});
    EXPECT_EQ(table_.RowCount(), 3);
    ui_.log.clear();
    RunPasteCommand(QString(), table_, ui_);
    EXPECT_EQ(ui_.log, (QStringList{"error:Буфер обмена содержит неверные данные|"
                                    "Невозможно вставить данные из буфера обмена",
                                    "recompute"}));
    EXPECT_EQ(table_.RowCount(), 3);
}

TEST_F(TableCommandsTest, ReadCancelledDoesNothing) {
    ui_.files = {std::nullopt};
    EXPECT_EQ(RunReadCommand(table_, ui_), std::nullopt);
    EXPECT_EQ(ui_.log, QStringList{"choose-read"});
}

TEST_F(TableCommandsTest, ReadRetriesAfterOpenFailureThenRecomputes) {
    Write("t.txt", "1 2\n3 4\n");
    ui_.files = {Path("missing.txt"), Path("t.txt")};
    ui_.openAnswers = {TOpenFailureAnswer::Retry};
    // The file read whole is the table's file, though an open failed on the way.
    EXPECT_EQ(RunReadCommand(table_, ui_), Path("t.txt"));
    EXPECT_EQ(ui_.log,
              (QStringList{"choose-read", "open-failure:Ошибка чтения файла", "choose-read", "recompute"}));
    EXPECT_EQ(table_.RowCount(), 4);
    EXPECT_EQ(table_.Cell(1, 2), "4");
}

TEST_F(TableCommandsTest, AbortAndIgnoreEndReadWithoutRecompute) {
    for (const TOpenFailureAnswer answer : {TOpenFailureAnswer::Abort, TOpenFailureAnswer::Ignore}) {
        ui_.log.clear();
        ui_.files = {Path("missing.txt")};
        ui_.openAnswers = {answer};
        EXPECT_EQ(RunReadCommand(table_, ui_), std::nullopt);
        EXPECT_EQ(ui_.log, (QStringList{"choose-read", "open-failure:Ошибка чтения файла"}));
        EXPECT_EQ(table_.RowCount(), 20);
    }
}

TEST_F(TableCommandsTest, ReadErrorIsReportedThenRecomputed) {
    ui_.files = {QString("/proc/self/mem")};
    EXPECT_EQ(RunReadCommand(table_, ui_), std::nullopt);  // the rows read are not the whole file
    EXPECT_EQ(ui_.log,
              (QStringList{"choose-read", "error:Не могу прочитать файл.|Ошибка чтения файла", "recompute"}));
}

// Running out of memory says so, not that the data are bad; the read then does not recompute (the
// table is as it was), the paste does, as after any failure.
TEST_F(TableCommandsTest, BadDataAndOutOfMemoryAreReportedApart) {
    Write("t.txt", "1 2\n3 4\n");
    const struct {
        const char* name;
        bool read;
        bool outOfMemory;
        QStringList log;
        int rowCount;
    } cases[] = {
        {"read, bad data", true, false, {"choose-read", "error:Файл содержит неверные данные|"}, 3},
        {"read, out of memory",
         true,
         true,
         {"choose-read",
          "error:Недостаточно памяти, чтобы прочитать файл. Таблица не изменилась.|Ошибка чтения файла"},
         20},
        {"paste, out of memory",
         false,
         true,
         {"error:Недостаточно памяти, чтобы вставить таблицу. Таблица не изменилась.|"
          "Невозможно вставить данные из буфера обмена",
          "recompute"},
         20},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TFakeTable table(20);
        ui_.log.clear();
        table.FailAfterWrites(2, c.outOfMemory);
        if (c.read) {
            ui_.files = {Path("t.txt")};
            RunReadCommand(table, ui_);
        } else {
            RunPasteCommand("1\t2\r\n3\t4", table, ui_);
        }
        EXPECT_EQ(ui_.log, c.log);
        EXPECT_EQ(table.RowCount(), c.rowCount);
    }
}

TEST_F(TableCommandsTest, FileWithMoreLinesThanTheTableHoldsIsRefusedWhole) {
    // A file of 2^31 empty lines once took the row count near INT_MAX and crashed the view; one line
    // past the limit is refused before any cell is written.
    Write("many.txt", QByteArray(kMaxTableRows + 1, '\n'));
    table_.FillNumbered(1, 3);
    ui_.files = {Path("many.txt")};
    RunReadCommand(table_, ui_);
    EXPECT_EQ(ui_.log,
              (QStringList{"choose-read",
                           "error:Файл содержит больше 10 000 000 строк: таблица столько не вмещает.|"
                           "Ошибка чтения файла"}));
    EXPECT_EQ(table_.RowCount(), 20);
    EXPECT_EQ(table_.StoredCells(), 6u);
}

TEST_F(TableCommandsTest, WriteShowsNothingOnSuccessAndDoesNotRecompute) {
    table_.Set(1, "1", "2");
    ui_.files = {Path("out.txt")};
    RunWriteCommand(table_, ui_);
    EXPECT_EQ(ui_.log, QStringList{"choose-write"});
    QFile file(Path("out.txt"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "1 2\n");
}

TEST_F(TableCommandsTest, WriteOpenFailureAsksWithWriterCaption) {
    ui_.files = {dir_.path(), std::nullopt};
    ui_.openAnswers = {TOpenFailureAnswer::Retry};
    RunWriteCommand(table_, ui_);
    EXPECT_EQ(ui_.log, (QStringList{"choose-write", "open-failure:Ошибка записи файла", "choose-write"}));
}

// A cancel at any step of a read, a paste or a write ends the command there: no box, no recompute, the
// table (hidden rows and the row count too) and an old file as they were, no temporary file left.
TEST_F(TableCommandsTest, CancelAtAnyStepLeavesTableAndFileAsTheyWere) {
    QByteArray lines;
    for (int k = 1; k <= 70000; ++k) {
        lines += QByteArray::number(k) + " " + QByteArray::number(2 * k) + "\n";
    }
    Write("many.txt", lines);  // 0.8 MB: two reading steps, then four placing steps
    Write("old.txt", "old 1\n");
    QString paste;
    for (int k = 1; k <= 40000; ++k) {
        paste += QString("%1\t%2\r\n").arg(k).arg(3 * k);
    }
    const struct {
        const char* name;
        int stopAt;
    } cases[] = {{"read, while reading", 1},
                 {"read, while placing", 3},
                 {"paste, at once", 1},
                 {"paste, while placing", 2},
                 {"write", 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TFakeTable table(20);
        table.FillNumbered(1, 30);
        ui_.log.clear();
        ui_.progress = TScriptedProgress(c.stopAt);
        const std::string what = c.name;
        if (what.starts_with("read")) {
            ui_.files = {Path("many.txt")};
            RunReadCommand(table, ui_);
            EXPECT_EQ(ui_.log, QStringList{"choose-read"});
        } else if (what.starts_with("paste")) {
            RunPasteCommand(paste, table, ui_);
            EXPECT_TRUE(ui_.log.isEmpty()) << ui_.log.join(", ").toStdString();
        } else {
            TFakeTable big(200002);
            for (int row = 1; row <= 200000; ++row) {
                big.Set(row, std::to_string(row), "1");  // about 2 MB: a step after the first megabyte
            }
            ui_.files = {Path("old.txt")};
            RunWriteCommand(big, ui_);
            EXPECT_EQ(ui_.log, QStringList{"choose-write"});
            QFile old(Path("old.txt"));
            ASSERT_TRUE(old.open(QIODevice::ReadOnly));
            EXPECT_EQ(old.readAll(), "old 1\n");
            EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), (QStringList{"many.txt", "old.txt"}));
        }
        EXPECT_EQ(ui_.progress.Steps(), c.stopAt);
        EXPECT_FALSE(ui_.progress.WentBackwards());
        EXPECT_EQ(table.RowCount(), 20);
        EXPECT_EQ(table.StoredCells(), 60u);
        EXPECT_EQ(test::TableRow(table, 30), std::make_pair(std::string("y30"), std::string("x30")));
    }
    // Uncancelled, the same work runs to its end through its steps and says when it is finishing.
    ui_.progress = TScriptedProgress();
    ui_.files = {Path("many.txt")};
    RunReadCommand(table_, ui_);
    EXPECT_EQ(table_.RowCount(), 70002);
    EXPECT_GE(ui_.progress.Steps(), 5);
    EXPECT_FALSE(ui_.progress.WentBackwards());
    EXPECT_EQ(ui_.progress.FinishingWith(), QString::fromUtf8(kRecomputeProgressText));
}

TEST_F(TableCommandsTest, ClearAnsweredNoChangesNothing) {
    table_.FillNumbered(1, 19);
    ui_.confirm = false;
    RunClearCommand(table_, ui_);
    EXPECT_EQ(ui_.log, QStringList{"confirm:Очистить данные в таблице?"});
    EXPECT_EQ(table_.Cell(0, 1), "y1");
}

TEST_F(TableCommandsTest, ClearEmptiesVisibleRowsOnly) {
    table_.FillNumbered(0, 25);
    table_.SetRowCount(10);
    RunClearCommand(table_, ui_);
    EXPECT_EQ(ui_.log, (QStringList{"confirm:Очистить данные в таблице?", "recompute"}));
    EXPECT_EQ(table_.RowCount(), 10);
    EXPECT_EQ(table_.Cell(0, 0), "y0");  // the header row is not touched
    for (int row = 1; row < 10; ++row) {
        EXPECT_TRUE(table_.Cell(0, row).empty());
        EXPECT_TRUE(table_.Cell(1, row).empty());
    }
    EXPECT_EQ(table_.Cell(0, 10), "y10");  // hidden rows keep their texts
}

}  // namespace
}  // namespace quorvel

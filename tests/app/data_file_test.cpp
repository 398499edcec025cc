// The data file in the window: the bytes the writer produces, what the reader puts into the table, and
// what is left on disk and in the table when reading or writing fails. The reader's line and word rules
// are tested with the reader itself.
#include "app/data_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "fake_table.h"
#include "late_pipe_writer.h"

namespace quorvel {
namespace {

using test::TableRow;
using test::TFakeTable;

std::pair<std::string, std::string> Row(const char* y, const char* x) {
    return {y, x};
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot open " << path.toStdString();
        return {};
    }
    return file.readAll();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// Files in a fresh folder of their own.
class DataFileTest : public ::testing::Test {
protected:
    QString Path(const QString& name) const { return dir_.filePath(name); }
    QTemporaryDir dir_;
};

TEST_F(DataFileTest, WritesNonEmptyRowsBeforeEntryRow) {
    TFakeTable table(6);
    table.Set(1, "1", "2");
    table.Set(2, "3", "4");
    table.Set(4, "5", "6");
    table.Set(5, "entry", "row");   // the entry row is never written
    table.Set(6, "hidden", "row");  // beyond the row count
    ASSERT_EQ(WriteDataFile(Path("t.txt"), table), TWriteStatus::Ok);
    EXPECT_EQ(ReadAll(Path("t.txt")), "1 2\n3 4\n5 6\n");
}

TEST_F(DataFileTest, StartStateTableWritesEmptyFile) {
    TFakeTable table(20);
    ASSERT_EQ(WriteDataFile(Path("empty.txt"), table), TWriteStatus::Ok);
    EXPECT_TRUE(QFileInfo::exists(Path("empty.txt")));
    EXPECT_EQ(ReadAll(Path("empty.txt")), "");
}

TEST_F(DataFileTest, WritesCellsVerbatimOneEmptyCellAndLongRowsInFull) {
    TFakeTable table(6);
    table.Set(1, "5", "");
    table.Set(2, "", "7");
    table.Set(3, "1,25", "ж");
    const std::string longY(150, '9');
    table.Set(4, longY, "1");
    ASSERT_EQ(WriteDataFile(Path("w.txt"), table), TWriteStatus::Ok);
    EXPECT_EQ(ReadAll(Path("w.txt")), QByteArray("5 \n 7\n1,25 ж\n") + longY.c_str() + " 1\n");
}

TEST_F(DataFileTest, SavingOverExistingFileReplacesIt) {
    WriteAll(Path("old.txt"), QByteArray(5000, 'z'));
    TFakeTable table(3);
    table.Set(1, "1", "2");
    ASSERT_EQ(WriteDataFile(Path("old.txt"), table), TWriteStatus::Ok);
    EXPECT_EQ(ReadAll(Path("old.txt")), "1 2\n");
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{"old.txt"});  // no temporary left
}

TEST_F(DataFileTest, SavingThroughSymlinkUpdatesTheTarget) {
    WriteAll(Path("real.txt"), "old\n");
    ASSERT_TRUE(QFile::link(Path("real.txt"), Path("link.txt")));
    TFakeTable table(3);
    table.Set(1, "1", "2");
    ASSERT_EQ(WriteDataFile(Path("link.txt"), table), TWriteStatus::Ok);
    EXPECT_TRUE(QFileInfo(Path("link.txt")).isSymLink());
    EXPECT_EQ(ReadAll(Path("real.txt")), "1 2\n");
}

// A read over a longer table used to leave the earlier table's next row in the new entry row, where it
// was fitted and copied, and its later rows hidden, to come back as the table grew.
TEST_F(DataFileTest, ReadLeavesExactlyTheFilesRows) {
    const struct {
        const char* name;
        int filled;    // rows of the table before, y<row> and x<row>
        int rowCount;  // its row count
        int lines;     // lines of the file, "k 2k"
    } cases[] = {
        {"21 lines, then 12", 21, 23, 12},
        {"10, then 5", 10, 12, 5},
        {"7, then 3", 7, 9, 3},
        {"25 rows in 30, then 3", 25, 30, 3},
        {"hidden rows beyond the row count", 40, 12, 5},
        {"100 000, then 5", 100000, 100002, 5},
        {"a longer file over a shorter table", 3, 20, 30},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray text;
        for (int k = 1; k <= c.lines; ++k) {
            text += QByteArray::number(k) + ' ' + QByteArray::number(2 * k) + '\n';
        }
        WriteAll(Path("t.txt"), text);
        TFakeTable table(c.rowCount);
        table.FillNumbered(1, c.filled);
        const TReadResult result = ReadDataFile(Path("t.txt"), table);
        EXPECT_EQ(result.status, TReadStatus::Ok);
        EXPECT_EQ(result.lines, c.lines);
        EXPECT_EQ(table.RowCount(), c.lines + 2);
        EXPECT_EQ(TableRow(table, 1), Row("1", "2"));
        EXPECT_EQ(TableRow(table, c.lines),
                  std::make_pair(std::to_string(c.lines), std::to_string(2 * c.lines)));
        EXPECT_EQ(TableRow(table, c.lines + 1), Row("", ""));
        EXPECT_EQ(table.StoredCells(), 2u * static_cast<unsigned>(c.lines));  // nothing else, hidden or not
        EXPECT_EQ(table.BulkDepth(), 0);
    }
}

TEST_F(DataFileTest, ForeignLineEndsTabsAndThirdColumnReadAlike) {
    WriteAll(Path("f.txt"), "1\t2\r\n3  4  extra words\r\n\t5 6");
    TFakeTable table(20);
    ASSERT_EQ(ReadDataFile(Path("f.txt"), table).status, TReadStatus::Ok);
    EXPECT_EQ(table.RowCount(), 5);
    EXPECT_EQ(TableRow(table, 1), Row("1", "2"));
    EXPECT_EQ(TableRow(table, 2), Row("3", "4"));
    EXPECT_EQ(TableRow(table, 3), Row("5", "6"));
}

TEST_F(DataFileTest, LongLinesAreOneRowEachAndReadBackWhatWasWritten) {
    // Five rows with twenty further columns (164 characters a line): once read in pieces of 126
    // characters, the tails made up five more rows.
    QByteArray columns;
    for (int i = 0; i < 20; ++i) {
        columns += " 123.456";
    }
    QByteArray text;
    for (int x = 1; x <= 5; ++x) {
        text += QByteArray::number(2 * x + 1) + ' ' + QByteArray::number(x) + columns + '\n';
    }
    WriteAll(Path("wide.txt"), text);
    TFakeTable table(20);
    const TReadResult result = ReadDataFile(Path("wide.txt"), table);
    EXPECT_EQ(result.lines, 5);
    EXPECT_EQ(table.RowCount(), 7);
    EXPECT_EQ(TableRow(table, 5), Row("11", "5"));

    // A row the writer writes in full past 127 characters comes back as the same row.
    TFakeTable source(3);
    source.Set(1, std::string(150, '9'), "1");
    ASSERT_EQ(WriteDataFile(Path("long.txt"), source), TWriteStatus::Ok);
    TFakeTable back(20);
    EXPECT_EQ(ReadDataFile(Path("long.txt"), back).lines, 1);
    EXPECT_EQ(TableRow(back, 1), TableRow(source, 1));
}

TEST_F(DataFileTest, ByteOrderMarkIsSkipped) {
    WriteAll(Path("bom.txt"),
             "\xEF\xBB\xBF"
             "1,5 2\r\n3 4\r\n");
    TFakeTable table(20);
    ASSERT_EQ(ReadDataFile(Path("bom.txt"), table).status, TReadStatus::Ok);
    EXPECT_EQ(TableRow(table, 1), Row("1,5", "2"));
    EXPECT_EQ(table.RowCount(), 4);
}

TEST_F(DataFileTest, MissingWordsLeaveCellsEmptyNeverPreviousWords) {
    // One word, then a line of white space only, then the empty line of a file ended by two LFs.
    WriteAll(Path("m.txt"), "7\n1 2\n3\n  \t\n\n");
    TFakeTable table(20);
    table.FillNumbered(1, 10);
    const TReadResult result = ReadDataFile(Path("m.txt"), table);
    EXPECT_EQ(result.lines, 5);
    EXPECT_EQ(TableRow(table, 1), Row("7", ""));
    EXPECT_EQ(TableRow(table, 2), Row("1", "2"));
    EXPECT_EQ(TableRow(table, 3), Row("3", ""));
    EXPECT_EQ(TableRow(table, 4), Row("", ""));
    EXPECT_EQ(TableRow(table, 5), Row("", ""));
    EXPECT_EQ(table.RowCount(), 7);
}

TEST_F(DataFileTest, EmptyFileChangesNothing) {
    WriteAll(Path("e.txt"), "");
    TFakeTable table(12);
    table.FillNumbered(1, 3);
    const TReadResult result = ReadDataFile(Path("e.txt"), table);
    EXPECT_EQ(result.status, TReadStatus::Ok);
    EXPECT_EQ(result.lines, 0);
    EXPECT_EQ(table.RowCount(), 12);
    EXPECT_EQ(table.StoredCells(), 6u);
}

TEST_F(DataFileTest, WrittenTableReadsBackAcrossReadChunks) {
    // About 1.6 MB: lines straddle the reader's chunk boundaries.
    const int rows = 100000;
    TFakeTable source(rows + 2);
    for (int row = 1; row <= rows; ++row) {
        source.Set(row, QString::number(row * 0.25, 'f', 2).toStdString(),
                   QString("ж%1").arg(row).toStdString());
    }
    ASSERT_EQ(WriteDataFile(Path("big.txt"), source), TWriteStatus::Ok);
    TFakeTable target(20);
    const TReadResult result = ReadDataFile(Path("big.txt"), target);
    ASSERT_EQ(result.status, TReadStatus::Ok);
    EXPECT_EQ(result.lines, rows);
    EXPECT_EQ(target.RowCount(), rows + 2);
    for (int row = 1; row <= rows; ++row) {
        ASSERT_EQ(target.Cell(0, row), source.Cell(0, row)) << row;
        ASSERT_EQ(target.Cell(1, row), source.Cell(1, row)) << row;
    }
}

TEST_F(DataFileTest, MissingFileAndFolderFailToOpen) {
    TFakeTable table(5);
    EXPECT_EQ(ReadDataFile(Path("none.txt"), table).status, TReadStatus::OpenFailed);
    EXPECT_EQ(ReadDataFile(dir_.path(), table).status, TReadStatus::OpenFailed);
    EXPECT_EQ(WriteDataFile(dir_.path(), table), TWriteStatus::OpenFailed);
    EXPECT_EQ(WriteDataFile(Path("no/such/folder.txt"), table), TWriteStatus::OpenFailed);
    // A pipe behind a link stays a pipe: the save's rename would have put a plain file in its place.
    const QString pipe = Path("pipe");
    ASSERT_EQ(mkfifo(pipe.toUtf8().constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(pipe, Path("link.txt")));
    EXPECT_EQ(WriteDataFile(Path("link.txt"), table), TWriteStatus::OpenFailed);
    struct stat info = {};
    ASSERT_EQ(::stat(pipe.toUtf8().constData(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    EXPECT_EQ(table.RowCount(), 5);
}

TEST(DataFileRead, KernelReadErrorIsNotTakenForEndOfFile) {
    // /proc/self/mem opens, but reading at offset 0 (an unmapped address) fails with EIO.
    if (!QFileInfo::exists("/proc/self/mem")) {
        GTEST_SKIP() << "no /proc";
    }
    TFakeTable table(9);
    const TReadResult result = ReadDataFile("/proc/self/mem", table);
    EXPECT_EQ(result.status, TReadStatus::ReadError);
    EXPECT_EQ(result.lines, 0);
    EXPECT_EQ(table.RowCount(), 9);
}

// A refused cell write keeps the rows before it; running out of memory, while reading or placing, is
// no bad data and leaves the table exactly as it was (it was once reported as bad data, the partial
// rows kept).
TEST_F(DataFileTest, FailedCellWriteAndOutOfMemory) {
    WriteAll(Path("t.txt"), "1 2\n3 4\n5 6\n");
    const struct {
        const char* name;
        bool outOfMemory;
        int failingStep;  // of the progress; 0: a cell write fails instead
        TReadStatus status;
        int lines;
        int rowCount;
    } cases[] = {
        {"a refused write", false, 0, TReadStatus::BadData, 1, 3},
        {"no memory for a cell", true, 0, TReadStatus::OutOfMemory, 0, 20},
        {"no memory while reading", true, 1, TReadStatus::OutOfMemory, 0, 20},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TFakeTable table(20);
        table.FillNumbered(1, 25);
        test::TScriptedProgress progress(c.failingStep, c.outOfMemory);
        if (c.failingStep == 0) {
            table.FailAfterWrites(3, c.outOfMemory);  // row 2 gets its Y, then its X fails
        }
        const TReadResult result = ReadDataFile(Path("t.txt"), table, &progress);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.lines, c.lines);
        EXPECT_EQ(table.RowCount(), c.rowCount);
        EXPECT_EQ(table.BulkDepth(), 0);
        if (c.status == TReadStatus::OutOfMemory) {
            EXPECT_EQ(TableRow(table, 1), Row("y1", "x1"));
            EXPECT_EQ(TableRow(table, 2), Row("y2", "x2"));
            EXPECT_EQ(table.StoredCells(), 50u);
        }
    }
}

TEST_F(DataFileTest, SpecialFilesAreOpenFailuresAndNeverBlock) {
    // A pipe, whose open once waited for a writer, and a device.
    const QString pipe = Path("pipe");
    ASSERT_EQ(mkfifo(pipe.toUtf8().constData(), 0600), 0);
    TFakeTable table(9);
    table.FillNumbered(1, 3);
    {
        const test::TLatePipeWriter writer(pipe);
        EXPECT_EQ(ReadDataFile(pipe, table).status, TReadStatus::OpenFailed);
    }
    EXPECT_EQ(ReadDataFile("/dev/null", table).status, TReadStatus::OpenFailed);
    EXPECT_EQ(table.RowCount(), 9);
    EXPECT_EQ(table.StoredCells(), 6u);
}

// A table large enough to fail on a small limit.
TFakeTable BigTable(int rows) {
    TFakeTable table(rows + 2);
    for (int row = 1; row <= rows; ++row) {
        table.Set(row, std::to_string(row), std::to_string(row * 3));
    }
    return table;
}

TEST_F(DataFileTest, FileSizeLimitFailsSaveAndKeepsOldFile) {
    const QByteArray old = "old 1\nold 2\n";
    WriteAll(Path("keep.txt"), old);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);  // the write then fails with EFBIG
    rlimit small = saved;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const TWriteStatus status = WriteDataFile(Path("keep.txt"), BigTable(20000));
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(status, TWriteStatus::WriteFailed);
    EXPECT_EQ(ReadAll(Path("keep.txt")), old);
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{"keep.txt"});
}

TEST_F(DataFileTest, FullDeviceFailsSaveAndKeepsOldFile) {
    // A tiny memory file system of our own; mounting needs the privilege, so this may be skipped.
    const QString mountPoint = Path("small");
    ASSERT_TRUE(QDir().mkpath(mountPoint));
    if (mount("tmpfs", mountPoint.toUtf8().constData(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "cannot mount a small file system here";
    }
    const QString target = mountPoint + "/keep.txt";
    const QByteArray old = "old 1\nold 2\n";
    WriteAll(target, old);
    const TWriteStatus status = WriteDataFile(target, BigTable(20000));
    const QByteArray after = ReadAll(target);
    const QStringList left = QDir(mountPoint).entryList(QDir::Files);
    umount(mountPoint.toUtf8().constData());
    EXPECT_EQ(status, TWriteStatus::WriteFailed);
    EXPECT_EQ(after, old);
    EXPECT_EQ(left, QStringList{"keep.txt"});
}

TEST_F(DataFileTest, DeviceBehindSymlinkIsNeverReplaced) {
    ASSERT_TRUE(QFile::link("/dev/full", Path("full.txt")));
    TFakeTable table(3);
    table.Set(1, "1", "2");
    EXPECT_EQ(WriteDataFile(Path("full.txt"), table), TWriteStatus::OpenFailed);
    struct stat st = {};
    ASSERT_EQ(stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

TEST_F(DataFileTest, WritableFileInReadOnlyFolderIsWrittenInPlace) {
    // The superuser ignores permissions: the saves run under an ordinary user's identity.
    const bool root = geteuid() == 0;
    ASSERT_EQ(chmod(dir_.path().toUtf8().constData(), 0777), 0);
    const QString folder = Path("ro");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString target = folder + "/keep.txt";
    const QString locked = folder + "/locked.txt";
    const QString big = folder + "/big.txt";
    WriteAll(target, "old\n");
    WriteAll(locked, "locked\n");
    WriteAll(big, "big\n");
    ASSERT_EQ(chmod(target.toUtf8().constData(), 0666), 0);  // the file itself stays writable
    ASSERT_EQ(chmod(big.toUtf8().constData(), 0666), 0);
    ASSERT_EQ(chmod(locked.toUtf8().constData(), 0444), 0);
    ASSERT_EQ(chmod(folder.toUtf8().constData(), 0555), 0);
    if (root && seteuid(65534) != 0) {
        GTEST_SKIP() << "cannot drop privileges";
    }
    TFakeTable table(3);
    table.Set(1, "1", "2");
    const TWriteStatus status = WriteDataFile(target, table);
    const TWriteStatus fresh = WriteDataFile(folder + "/new.txt", table);
    const TWriteStatus readOnly = WriteDataFile(locked, table);
    // Written in place, a failed write is still reported (the old file cannot be kept then).
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 64 * 1024;
    setrlimit(RLIMIT_FSIZE, &small);
    const TWriteStatus tooBig = WriteDataFile(big, BigTable(20000));
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);
    // Nor can a cancel keep it: the write in place runs to its end, never leaving half a file.
    test::TScriptedProgress cancelling(1);
    const TWriteStatus notCancelled = WriteDataFile(big, BigTable(150000), &cancelling);
    if (root) {
        ASSERT_EQ(seteuid(0), 0);
    }
    chmod(folder.toUtf8().constData(), 0755);
    EXPECT_EQ(status, TWriteStatus::Ok);
    EXPECT_EQ(ReadAll(target), "1 2\n");
    EXPECT_EQ(fresh, TWriteStatus::OpenFailed);
    EXPECT_EQ(readOnly, TWriteStatus::OpenFailed);
    EXPECT_EQ(ReadAll(locked), "locked\n");
    EXPECT_EQ(tooBig, TWriteStatus::WriteFailed);
    EXPECT_EQ(notCancelled, TWriteStatus::Ok);
    EXPECT_EQ(cancelling.ForbiddenWith(), QString::fromUtf8(kInPlaceWriteText));
    EXPECT_GE(cancelling.Steps(), 1);
    ASSERT_EQ(WriteDataFile(Path("whole.txt"), BigTable(150000)), TWriteStatus::Ok);
    EXPECT_EQ(ReadAll(big), ReadAll(Path("whole.txt")));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), (QStringList{"big.txt", "keep.txt", "locked.txt"}));
}

}  // namespace
}  // namespace quorvel

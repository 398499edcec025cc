#pragma once
// A PDF document made in memory and written to its file whole or not at all: the bytes go to a file
// beside the target, which replaces it only once every byte is written, so that a failed write (a full
// disk, a folder that does not exist) leaves no part of a document and an old file as it was.
#include <QBuffer>
#include <QPdfWriter>
#include <QSaveFile>
#include <QString>
#include <memory>

namespace quorvel {

class TPdfFile {
public:
    // Opens the file beside `path`; throws EPrinter ("Не могу записать файл …") when it cannot, or when
    // `path` names something other than a regular file (a device behind a link is never replaced).
    explicit TPdfFile(const QString& path);
    ~TPdfFile();
    TPdfFile(const TPdfFile&) = delete;
    TPdfFile& operator=(const TPdfFile&) = delete;

    // The device to paint the pages on.
    QPdfWriter& Writer() { return *writer_; }
    // After the painter has ended (`painted`: it ended without a fault): writes the document and puts
    // the file in place. Throws EPrinter naming the file when it cannot; the target is then untouched.
    void Commit(bool painted);

private:
    std::unique_ptr<QSaveFile> file_;
    std::unique_ptr<QBuffer> bytes_;
    std::unique_ptr<QPdfWriter> writer_;
};

}  // namespace quorvel

#include "chart/print/pdf_file.h"

#include <QDir>
#include <QFile>

#include "chart/print/printer.h"
#include "chart/qt/whole_file.h"
#include "runtime/file_target.h"

namespace quorvel {

namespace {

std::string CannotWrite(const QString& file, const QString& reason) {
    return QStringLiteral("Не могу записать файл %1: %2")
        .arg(QDir::toNativeSeparators(file), reason)
        .toStdString();
}

}  // namespace

TPdfFile::TPdfFile(const QString& path) : file_(std::make_unique<QSaveFile>(path)) {
    if (!IsReplaceableFile(QFile::encodeName(path).toStdString())) {
        throw EPrinter(CannotWrite(path, QStringLiteral("not a regular file")));
    }
    if (!file_->open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        throw EPrinter(CannotWrite(path, file_->errorString()));
    }
    bytes_ = std::make_unique<QBuffer>();
    bytes_->open(QIODevice::WriteOnly);
    writer_ = std::make_unique<QPdfWriter>(bytes_.get());
}

// Dropped without a commit, the file beside the target goes and the target stays as it was.
TPdfFile::~TPdfFile() = default;

void TPdfFile::Commit(bool painted) {
    writer_.reset();
    if (!painted) {
        file_->cancelWriting();
        throw EPrinter("Printer error");
    }
    const QString reason = WriteAndCommit(*file_, bytes_->data());
    if (!reason.isEmpty()) {
        throw EPrinter(CannotWrite(file_->fileName(), reason));
    }
}

}  // namespace quorvel

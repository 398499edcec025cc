#include "chart/print/pdf_file.h"

#include <QDir>
#include <QFile>

#include <cerrno>

#include "chart/print/printer.h"
#include "chart/qt/whole_file.h"
#include "runtime/file_target.h"
#include "runtime/message_catalog.h"
#include "runtime/system_error_text.h"

namespace quorvel {

namespace {

std::string CannotWrite(const QString& file, const QString& reason) {
    return QString::fromUtf8(Tr("Не могу записать файл %1: %2"))
        .arg(QDir::toNativeSeparators(file), reason)
        .toStdString();
}

// The reason in the boxes' language, from the system's error number where there is one.
QString Reason(int error, const QString& told) {
    return error != 0 ? QString::fromStdString(SystemErrorText(error)) : told;
}

}  // namespace

TPdfFile::TPdfFile(const QString& path) : file_(std::make_unique<QSaveFile>(path)) {
    if (!IsReplaceableFile(QFile::encodeName(path).toStdString())) {
        throw EPrinter(CannotWrite(path, QString::fromUtf8(Tr(kNotRegularFileText))));
    }
    errno = 0;
    if (!file_->open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        const int error = errno;
        throw EPrinter(CannotWrite(path, Reason(error, file_->errorString())));
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
    int error = 0;
    const QString reason = WriteAndCommit(*file_, bytes_->data(), &error);
    if (!reason.isEmpty()) {
        throw EPrinter(CannotWrite(file_->fileName(), Reason(error, reason)));
    }
}

}  // namespace quorvel

#include "chart/print/qt_printer.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QCursor>
#include <QDialogButtonBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <vector>

#include "chart/qt/qt_canvas.h"
#include "runtime/message_catalog.h"

namespace quorvel {

namespace {

std::unique_ptr<TPrinter>& PrinterSlot() {
    static std::unique_ptr<TPrinter> printer;
    return printer;
}

QString DefaultAskPdfFileName(QWidget* parent, const QString& suggested) {
    QString name = QFileDialog::getSaveFileName(parent, QString::fromUtf8(Tr("Печать в PDF-файл")), suggested,
                                                QStringLiteral("PDF (*.pdf)"));
    if (!name.isEmpty() && QFileInfo(name).suffix().isEmpty()) {
        name += QStringLiteral(".pdf");
    }
    return name;
}

// The standard cursor while a dialog asks, put back as it was afterwards.
class NormalCursor {
public:
    NormalCursor() {
        while (QGuiApplication::overrideCursor() != nullptr) {
            shapes_.push_back(*QGuiApplication::overrideCursor());
            QGuiApplication::restoreOverrideCursor();
        }
    }
    ~NormalCursor() {
        for (auto it = shapes_.rbegin(); it != shapes_.rend(); ++it) {
            QGuiApplication::setOverrideCursor(*it);
        }
    }
    NormalCursor(const NormalCursor&) = delete;
    NormalCursor& operator=(const NormalCursor&) = delete;

private:
    std::vector<QCursor> shapes_;
};

// Opens the print dialog on its file entry (its last) when the file target is the current printer;
// by itself the dialog offers the first queue.
class FileEntryFirst final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            watched->removeEventFilter(this);
            auto* printers = watched->findChild<QComboBox*>(QStringLiteral("printers"));
            if (printers != nullptr && printers->count() > 0) {
                printers->setCurrentIndex(printers->count() - 1);
            }
        }
        return false;
    }
};

}  // namespace

TPrinter& Printer() {
    auto& slot = PrinterSlot();
    if (!slot) {
        slot = std::make_unique<TQtPrinter>();
    }
    return *slot;
}

std::unique_ptr<TPrinter> ReplacePrinter(std::unique_ptr<TPrinter> printer) {
    auto& slot = PrinterSlot();
    std::unique_ptr<TPrinter> previous = std::move(slot);
    slot = std::move(printer);
    return previous;
}

const QString& TQtPrinter::PdfTargetName() {
    static const QString name = QString::fromUtf8(Tr("PDF-файл"));
    return name;
}

TQtPrinter::TQtPrinter() : printer_(QPrinter::HighResolution) {
    AskPdfFileName = DefaultAskPdfFileName;
    queues_ = QPrinterInfo::availablePrinterNames();
    const QString defaultName = QPrinterInfo::defaultPrinterName();
    const auto found = defaultName.isEmpty() ? -1 : queues_.indexOf(defaultName);
    // The system's default queue, else the first one; the PDF target where there is none.
    index_ = found >= 0 ? static_cast<int>(found) : 0;
    SelectDevice();
}

TQtPrinter::~TQtPrinter() {
    if (Printing()) {
        Abort();
    }
}

QStringList TQtPrinter::Printers() const {
    QStringList names = queues_;
    names.append(PdfTargetName());
    return names;
}

void TQtPrinter::RefreshPrinters() {
    const QString current = IsPdfTarget() ? QString() : queues_.value(index_);
    queues_ = QPrinterInfo::availablePrinterNames();
    const auto found = current.isEmpty() ? -1 : queues_.indexOf(current);
    const int index = found >= 0 ? static_cast<int>(found) : static_cast<int>(queues_.size());
    if (index != index_ || found < 0) {
        index_ = index;
        SelectDevice();
    }
}

void TQtPrinter::SetPrinterIndex(int index) {
    if (index < 0 || index > static_cast<int>(queues_.size())) {
        throw EListError(index);
    }
    if (index != index_) {
        index_ = index;
        SelectDevice();
    }
}

void TQtPrinter::SelectDevice() {
    // A change of device may bring its own page layout; the orientation is the user's and stays.
    const QPageLayout::Orientation orientation = printer_.pageLayout().orientation();
    if (IsPdfTarget()) {
        printer_.setOutputFormat(QPrinter::PdfFormat);
        printer_.setResolution(kPdfResolution);
    } else {
        printer_.setOutputFormat(QPrinter::NativeFormat);
        printer_.setOutputFileName(QString());
        printer_.setPrinterName(queues_.value(index_));
    }
    printer_.setPageOrientation(orientation);
}

TPrinterOrientation TQtPrinter::Orientation() const {
    return printer_.pageLayout().orientation() == QPageLayout::Landscape ? poLandscape : poPortrait;
}

void TQtPrinter::SetOrientation(TPrinterOrientation orientation) {
    printer_.setPageOrientation(orientation == poLandscape ? QPageLayout::Landscape : QPageLayout::Portrait);
}

QRect TQtPrinter::PageRect() const {
    return printer_.pageRect(QPrinter::DevicePixel).toRect();
}

int TQtPrinter::PageWidth() const {
    return PageRect().width();
}

int TQtPrinter::PageHeight() const {
    return PageRect().height();
}

int TQtPrinter::DpiX() const {
    return printer_.logicalDpiX();
}

int TQtPrinter::DpiY() const {
    return printer_.logicalDpiY();
}

bool TQtPrinter::BeginDoc(QWidget* parent) {
    if (Printing()) {
        throw EPrinter("Printing in progress");
    }
    auto painter = std::make_unique<QPainter>();
    if (IsPdfTarget()) {
        // The job's name is the formula line, whose blanks and "*" make a poor file name.
        const QString title = QCoreApplication::applicationName().isEmpty()
                                  ? QStringLiteral("chart")
                                  : QCoreApplication::applicationName();
        // A file named in the printer setup is offered, a folder there gets the job's name.
        QString suggested = printer_.outputFileName();
        if (suggested.isEmpty() || QFileInfo(suggested).isDir()) {
            suggested = QDir(suggested).filePath(title + QStringLiteral(".pdf"));
        }
        QString file;
        {
            // The user answers a dialog with the normal cursor, whatever the print shows meanwhile.
            const NormalCursor normal;
            file = AskPdfFileName ? AskPdfFileName(parent, suggested) : QString();
        }
        if (file.isEmpty()) {
            return false;
        }
        auto pdf = std::make_unique<TPdfFile>(file);
        QPdfWriter& writer = pdf->Writer();
        writer.setResolution(printer_.resolution());
        writer.setPageLayout(printer_.pageLayout());
        writer.setTitle(printer_.docName());
        writer.setCreator(printer_.creator());
        if (!painter->begin(&writer)) {
            throw EPrinter("Printer error");
        }
        pdf_ = std::move(pdf);
    } else if (!painter->begin(&printer_)) {
        throw EPrinter("Printer selected is not valid");
    }
    painter_ = std::move(painter);
    canvas_ = std::make_unique<TQtCanvas>(*painter_);
    // The chart is laid out in screen pixels and mapped onto the page, so its font sizes in points must
    // turn into screen pixels too, not printer dots.
    canvas_->SetPixelsPerInch(ScreenPixelsPerInch());
    return true;
}

void TQtPrinter::EndDoc() {
    if (!Printing()) {
        throw EPrinter("Printer is not currently printing");
    }
    canvas_.reset();
    const bool ended = painter_->end();
    painter_.reset();
    if (pdf_) {
        // Only a file written whole replaces the target; otherwise nothing of it is left behind.
        const std::unique_ptr<TPdfFile> pdf = std::move(pdf_);
        pdf->Commit(ended);
        return;
    }
    if (!ended || printer_.printerState() == QPrinter::Error) {
        throw EPrinter("Printer error");
    }
}

void TQtPrinter::Abort() {
    if (!Printing()) {
        return;
    }
    if (!pdf_) {
        printer_.abort();
    }
    canvas_.reset();
    if (painter_->isActive()) {
        painter_->end();
    }
    painter_.reset();
    pdf_.reset();
}

TCanvas& TQtPrinter::Canvas() {
    if (!canvas_) {
        throw EPrinter("Printer is not currently printing");
    }
    return *canvas_;
}

void TQtPrinter::Setup(QWidget* parent) {
    QPrintDialog dialog(&printer_, parent);
    // The setup role: the printer, its paper, orientation and own properties, and the file target.
    // What only a job means (page range, copies, order, pages per sheet) is left out: the chart is
    // one page, and the print itself starts from the preview.
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize);
    dialog.setWindowTitle(QString::fromUtf8(Tr("Настройка печати")));
    if (auto* buttons = dialog.findChild<QDialogButtonBox*>()) {
        for (QAbstractButton* button : buttons->buttons()) {
            switch (buttons->buttonRole(button)) {
                case QDialogButtonBox::AcceptRole:
                    // Accepting keeps the settings; it prints nothing.
                    button->setText(QCoreApplication::translate("QPlatformTheme", "OK"));
                    break;
                case QDialogButtonBox::RejectRole:
                    break;
                default:
                    // The button that unfolds the job options.
                    button->hide();
                    break;
            }
        }
    }
    FileEntryFirst fileEntry;
    if (IsPdfTarget()) {
        dialog.installEventFilter(&fileEntry);
    }
    const NormalCursor normal;
    if (dialog.exec() == QDialog::Accepted) {
        TakeSetup();
    }
}

void TQtPrinter::TakeSetup() {
    // The dialog may have chosen another queue or the file target: the list and the current entry
    // follow it, the rest of its choice (paper, orientation, properties) stays in the printer.
    queues_ = QPrinterInfo::availablePrinterNames();
    if (printer_.outputFormat() == QPrinter::PdfFormat) {
        index_ = static_cast<int>(queues_.size());
        printer_.setResolution(kPdfResolution);
        return;
    }
    printer_.setOutputFileName(QString());
    const auto found = queues_.indexOf(printer_.printerName());
    if (found >= 0) {
        index_ = static_cast<int>(found);
        return;
    }
    // A queue the system no longer lists: the file target is always there.
    index_ = static_cast<int>(queues_.size());
    SelectDevice();
}

}  // namespace quorvel

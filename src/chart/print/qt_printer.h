#pragma once
// The printer services on Qt PrintSupport: the print queues the system knows and, always, a PDF file
// target ("PDF-файл"), which is also the current printer where there is no queue at all.
#include <QPainter>
#include <QPrinter>
#include <functional>
#include <memory>

#include "chart/print/pdf_file.h"
#include "chart/print/printer.h"

namespace quorvel {

class TQtCanvas;

class TQtPrinter final : public TPrinter {
public:
    // The list entry of the PDF file target.
    static const QString& PdfTargetName();
    // Resolution of the PDF file target.
    static constexpr int kPdfResolution = 600;

    TQtPrinter();
    ~TQtPrinter() override;

    QStringList Printers() const override;
    int PrinterIndex() const override { return index_; }
    void SetPrinterIndex(int index) override;
    TPrinterOrientation Orientation() const override;
    void SetOrientation(TPrinterOrientation orientation) override;
    int PageWidth() const override;
    int PageHeight() const override;
    int DpiX() const override;
    int DpiY() const override;
    QString Title() const override { return printer_.docName(); }
    void SetTitle(const QString& title) override { printer_.setDocName(title); }
    bool BeginDoc(QWidget* parent) override;
    void EndDoc() override;
    void Abort() override;
    bool Printing() const override { return canvas_ != nullptr; }
    TCanvas& Canvas() override;
    void Setup(QWidget* parent) override;

    void RefreshPrinters() override;
    bool IsPdfTarget() const { return index_ == static_cast<int>(queues_.size()); }
    // Asks for the PDF file name (parent, suggested name); an empty answer calls the job off. A save
    // dialog by default.
    std::function<QString(QWidget*, const QString&)> AskPdfFileName;
    QPrinter& Device() { return printer_; }

private:
    void SelectDevice();
    // Takes over the printer the setup dialog chose.
    void TakeSetup();
    QRect PageRect() const;

    QStringList queues_;
    int index_ = 0;
    mutable QPrinter printer_;
    // The PDF file target's document while a job runs.
    std::unique_ptr<TPdfFile> pdf_;
    std::unique_ptr<QPainter> painter_;
    std::unique_ptr<TQtCanvas> canvas_;
};

}  // namespace quorvel

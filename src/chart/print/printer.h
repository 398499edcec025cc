#pragma once
// The printer services the preview and printing use, behind a small interface so that a stand-in of
// known page size and resolution can replace the real printer. One process-wide printer object keeps the
// chosen printer and orientation between previews.
#include <QString>
#include <QStringList>
#include <memory>

#include "chart/print_settings.h"
#include "runtime/exceptions.h"

class QWidget;

namespace quorvel {

class TCanvas;

enum TPrinterOrientation { poPortrait = 0, poLandscape = 1 };

// A printer fault: the job could not be started or finished.
class EPrinter : public Exception {
public:
    using Exception::Exception;
};

class TPrinter {
public:
    virtual ~TPrinter() = default;

    // The printer names offered to the user, in list order.
    virtual QStringList Printers() const = 0;
    // Reads the printer list anew from the system, keeping the current printer where it still exists.
    virtual void RefreshPrinters() {}
    // The index of the current printer in Printers().
    virtual int PrinterIndex() const = 0;
    virtual void SetPrinterIndex(int index) = 0;
    virtual TPrinterOrientation Orientation() const = 0;
    virtual void SetOrientation(TPrinterOrientation orientation) = 0;
    // The printable page in device pixels.
    virtual int PageWidth() const = 0;
    virtual int PageHeight() const = 0;
    // Device resolution in dots per inch.
    virtual int DpiX() const = 0;
    virtual int DpiY() const = 0;
    TPrinterPageMetrics Metrics() const {
        return TPrinterPageMetrics{PageWidth(), PageHeight(), DpiX(), DpiY()};
    }

    // The title of the next job.
    virtual QString Title() const = 0;
    virtual void SetTitle(const QString& title) = 0;
    // Starts a job. False when the user called it off before it began (no file name for a file target);
    // throws EPrinter when the printer cannot start one. parent owns any dialog this needs.
    virtual bool BeginDoc(QWidget* parent) = 0;
    // Ends the running job and hands it to the printer.
    virtual void EndDoc() = 0;
    // Drops the running job.
    virtual void Abort() = 0;
    // A job is running.
    virtual bool Printing() const = 0;
    // The canvas of the running job, in device pixels with (0, 0) at the printable area's corner.
    virtual TCanvas& Canvas() = 0;

    // Runs the printer's own setup dialog.
    virtual void Setup(QWidget* parent) = 0;
};

// The process-wide printer (a TQtPrinter until replaced).
TPrinter& Printer();
// Installs another process-wide printer and returns the previous one (tests use stand-ins).
std::unique_ptr<TPrinter> ReplacePrinter(std::unique_ptr<TPrinter> printer);

}  // namespace quorvel

#pragma once
// A printer stand-in of known page size and resolution: portrait 3508 x 4960 at 600 dpi (landscape swaps
// the sides), two queues, and a job that records what is drawn.
#include <stdexcept>

#include "chart/print/printer.h"
#include "chart/recording_canvas.h"

namespace quorvel::testing {

// A recording canvas that also keeps every mapping it was given.
class PrinterCanvas : public RecordingCanvas {
public:
    std::vector<TMapping> mappings;
    void SetMapping(const TMapping& m) override {
        mappings.push_back(m);
        RecordingCanvas::SetMapping(m);
    }
};

class FakePrinter final : public TPrinter {
public:
    int shortSide = 3508;
    int longSide = 4960;
    int dpiX = 600;
    int dpiY = 600;
    TPrinterOrientation orientation = poPortrait;
    int index = 0;
    QString title;
    int begins = 0;
    int ends = 0;
    int aborts = 0;
    int setups = 0;
    bool cancelBegin = false;     // the user calls the job off
    bool failDrawing = false;     // the canvas cannot be had once the job runs
    bool failEnd = false;         // the printer refuses to finish the job
    bool abortLeavesJob = false;  // the job still runs after an abort
    bool printing = false;
    PrinterCanvas canvas;

    QStringList Printers() const override { return {"Stand-in A", "Stand-in B"}; }
    int PrinterIndex() const override { return index; }
    void SetPrinterIndex(int i) override { index = i; }
    TPrinterOrientation Orientation() const override { return orientation; }
    void SetOrientation(TPrinterOrientation o) override { orientation = o; }
    int PageWidth() const override { return orientation == poLandscape ? longSide : shortSide; }
    int PageHeight() const override { return orientation == poLandscape ? shortSide : longSide; }
    int DpiX() const override { return dpiX; }
    int DpiY() const override { return dpiY; }
    QString Title() const override { return title; }
    void SetTitle(const QString& t) override { title = t; }
    bool BeginDoc(QWidget*) override {
        if (cancelBegin) {
            return false;
        }
        ++begins;
        printing = true;
        canvas.Clear();
        canvas.mappings.clear();
        return true;
    }
    void EndDoc() override {
        ++ends;
        printing = false;
        if (failEnd) {
            throw EPrinter("Printer error");
        }
    }
    void Abort() override {
        ++aborts;
        printing = abortLeavesJob;
    }
    bool Printing() const override { return printing; }
    TCanvas& Canvas() override {
        if (failDrawing) {
            throw EPrinter("Out of paper");
        }
        return canvas;
    }
    // What the setup dialog leaves: the orientation, and a longer paper when not 0.
    TPrinterOrientation setupOrientation = poPortrait;
    int setupLongSide = 0;
    void Setup(QWidget*) override {
        ++setups;
        orientation = setupOrientation;
        longSide = setupLongSide != 0 ? setupLongSide : longSide;
    }
};

}  // namespace quorvel::testing

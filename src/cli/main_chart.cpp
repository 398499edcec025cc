// quorvel-fit-chart: quorvel-fit with the chart file and the report drawn by Qt; quorvel-fit hands
// commands with --chart or --report to it.
#include "calibration/calibration_report.h"
#include "cli/chart_output.h"
#include "cli/fit_command.h"
#include "runtime/large_buffers.h"

int main(int argc, char** argv) {
    quorvel::KeepFreedRoomForReuse();
    return quorvel::RunFitProgram(
        argc, argv,
        quorvel::TChartSupport{&quorvel::WriteChartFile, &quorvel::WriteCalibrationReport, nullptr},
        quorvel::TWorkOptions{.secondCore = true});
}

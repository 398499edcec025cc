// quorvel-fit-chart: quorvel-fit with the chart file drawn by Qt; quorvel-fit hands commands with
// --chart to it.
#include "cli/chart_output.h"
#include "cli/fit_command.h"

int main(int argc, char** argv) {
    return quorvel::RunFitProgram(argc, argv, quorvel::TChartSupport{&quorvel::WriteChartFile, nullptr});
}

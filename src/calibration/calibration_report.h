#pragma once
// The calibration report a lab files with the instrument (quorvel-fit --report and the window's command),
// one A4 portrait page (more when the table of points is long): the data file and the date, the kind, the
// formula line and the coefficients as the window shows them, in full and with their standard uncertainties,
// the statistics, the window's chart drawn as vector graphics, and the points with their fitted Y and
// deviation, each marked with its deviation colour.
#include <functional>
#include <string>

#include "fitting/report_input.h"

namespace quorvel {

// Writes the report into path, whole or not at all (an old file stays as it was when it cannot be
// written). Throws EOverflow when a figure of the uncertainty analysis is beyond the double range, and
// Exception naming the file when it cannot be written. Creates an offscreen Qt application when none
// exists.
void WriteCalibrationReport(const std::string& path, const TReportInput& input);

// The same with the progress: `step` is called now and then with the share done (0 … 1) and says
// whether to go on; when it says no, nothing is written (an old file stays as it was) and the answer is
// false.
bool WriteCalibrationReport(const std::string& path, const TReportInput& input,
                            const std::function<bool(double)>& step);

}  // namespace quorvel

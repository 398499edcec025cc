#pragma once
// quorvel-fit --report: the calibration report a lab files with the instrument, one A4 portrait page
// (more when the table of points is long): the data file and the date, the kind, the formula line and
// the coefficients as the window shows them, in full and with their standard uncertainties, the
// statistics, the window's chart drawn as vector graphics, and the points with their fitted Y and
// deviation, each marked with its deviation colour.
#include <string>

namespace quorvel {

struct TReportInput;

// Writes the report into path, whole or not at all (an old file stays as it was when it cannot be
// written). Throws EOverflow when a figure of the uncertainty analysis is beyond the double range, and
// Exception naming the file when it cannot be written. Creates an offscreen Qt application when none
// exists.
void WriteCalibrationReport(const std::string& path, const TReportInput& input);

}  // namespace quorvel

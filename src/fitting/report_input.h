#pragma once
// What the calibration report is made of. It lies below the report (calibration), so that quorvel-fit,
// which links no Qt and draws no report, can hand one to the program that draws it.
#include <string>

namespace quorvel {

enum class TUncertaintySource {
    Scatter,          // none given: from the scatter of the points
    Columns,          // the data file's columns
    ColumnsAndRules,  // the columns, missing ones filled by --u-y / --u-x rules
};

struct TCalibrationSummary;
struct TEvaluation;
struct TFitCoefficients;
struct TRecomputeResult;

// The fit of the data file, and the evaluation at X when asked.
struct TReportInput {
    std::string dataFile;  // as given; "-" is standard input, empty the window's own table
    const TRecomputeResult* result = nullptr;
    const TFitCoefficients* store = nullptr;
    const TEvaluation* at = nullptr;
    // The method, the model check, R², the kinds compared and the inverse evaluation, when the report
    // shows them; and where the uncertainties came from.
    const TCalibrationSummary* calibration = nullptr;
    TUncertaintySource source = TUncertaintySource::Scatter;
};

}  // namespace quorvel

#pragma once
// quorvel-fit: fits a data file from the command line with the window's own rules and texts.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/chart_output.h"
#include "fitting/csv_import.h"
#include "fitting/fit_types.h"
#include "fitting/uncertainty_rule.h"
#include "fitting/work_options.h"

namespace quorvel {

enum FitExitCode : int {
    ecFitted = 0,
    ecNoFit = 1,        // too few points, or no unique solution
    ecBadNumber = 2,    // a cell (or the --at value) is not a number
    ecCannotOpen = 3,   // the data file cannot be opened or read
    ecOverflow = 4,     // a result after the solve is beyond the number range
    ecCannotWrite = 5,  // standard output or the chart file cannot be written
    ecTooLarge = 6,     // more lines than a table holds, or the memory ran out
    ecUsage = 64,
    ecInternal = 70,  // an error the program does not expect; it is printed
};

struct TFitCommandOptions {
    TFunctionKind kind = fkCubic;
    std::optional<std::string> at;  // the --at text, read like the window's X field
    bool json = false;
    bool help = false;
    std::string file = "-";  // "-" is standard input
    // Options that need Qt are acted on only after the fit, so the plain path never starts a Qt
    // application object.
    std::optional<std::string> chart;  // --chart FILE: PNG or SVG by its extension
    int chartWidth = kDefaultChartWidth;
    int chartHeight = kDefaultChartHeight;
    bool chartSizeGiven = false;        // --size was given, whatever its value
    std::optional<std::string> report;  // --report FILE.pdf: the calibration report
    std::optional<std::string> apply;   // --apply READINGS: the file of readings ("-" standard input)
    // The calibration with known uncertainties: data lines "Y X u(Y) [u(X)]", or columns filled by rules.
    bool uncertainties = false;
    std::optional<TUncertaintyRule> uyRule;  // --u-y RULE: fills a missing u(Y)
    std::optional<TUncertaintyRule> uxRule;  // --u-x RULE: fills a missing u(X)
    std::optional<std::string> atU;          // --at-u U: the uncertainty of the X of --at
    std::optional<std::string> inverse;      // --inverse Y: the X at which the fit gives Y
    std::optional<std::string> inverseU;     // --inverse-u U: the uncertainty of that Y
    // The file is a CSV table (--csv, or a name ending in .csv), read with what the user chose of it.
    bool csv = false;
    TCsvChoice csvChoice;  // --columns, --separator, --decimal, --header-lines
};

// Reads the command line; on a usage error returns nothing and sets `error`.
std::optional<TFitCommandOptions> ParseFitArguments(const std::vector<std::string>& args, std::string& error);

extern const char* const kFitUsage;

struct TEvaluation;
struct TRecomputeResult;

struct TReportInput;

// How a program draws the chart file and the report: itself (the program that links Qt), or by handing
// the whole command to that program, so that a fit without them never loads Qt.
struct TChartSupport {
    void (*write)(const std::string& path, int width, int height, const TRecomputeResult& result,
                  const TEvaluation* evaluated) = nullptr;
    // Writes the report into path whole, or throws Exception naming the file.
    void (*report)(const std::string& path, const TReportInput& input) = nullptr;
    // Starts the other program with this one's arguments; returns (with the status) only when it cannot.
    int (*handOver)(std::FILE* err) = nullptr;
};

// Runs the whole command with the given streams and work options; returns the exit status.
int RunFitCommand(const std::vector<std::string>& args, std::FILE* in, std::FILE* out, std::FILE* err,
                  const TChartSupport& chart, const TWorkOptions& work = {});

// main() of both programs: the command on the standard streams, and whatever escapes it reported with
// a status of its own, so that the process never ends by an abort.
int RunFitProgram(int argc, char** argv, const TChartSupport& chart, const TWorkOptions& work);

}  // namespace quorvel

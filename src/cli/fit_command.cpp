#include "cli/fit_command.h"

#include <cerrno>
#include <cstring>
#include <exception>
#include <new>
#include <optional>
#include <string_view>
#include <tuple>
#include <utility>

#include "cli/chart_output.h"
#include "fitting/apply_readings.h"
#include "fitting/calibration_summary.h"
#include "fitting/data_file_reader.h"
#include "fitting/fit_texts.h"
#include "fitting/least_squares.h"
#include "fitting/messages.h"
#include "fitting/point_extraction.h"
#include "fitting/presentation.h"
#include "fitting/report_input.h"
#include "fitting/result_texts.h"
#include "runtime/exceptions.h"
#include "runtime/message_catalog.h"
#include "runtime/number_text.h"

namespace quorvel {

const char* const kFitUsage =
    "Usage: quorvel-fit [--kind linear|quadratic|cubic] [--at X [--at-u U]] [--inverse Y [--inverse-u U]]\n"
    "                   [--json] [--chart FILE [--size WxH]] [--report FILE.pdf] [--apply READINGS]\n"
    "                   [--uncertainties] [--u-y RULE] [--u-x RULE] [--csv] [--columns Y,X[,uY[,uX]]]\n"
    "                   [--separator S] [--decimal D] [--header-lines N] [FILE|-]\n"
    "Fits Y = a3*X^3 + a2*X^2 + a1*X + a0 by least squares to a data file of lines \"Y X\"\n"
    "(standard input when FILE is - or missing). Numbers use the locale's decimal character or \".\".\n"
    "A CSV table (a name ending in .csv, or --csv) is read by its own rules: quoted fields, its\n"
    "separator and decimal character, header lines and the columns of Y and X found from its first lines.\n"
    "  --kind K     linear, quadratic or cubic (default cubic)\n"
    "  --at X       also evaluate the fitted polynomial at X\n"
    "  --at-u U     the standard uncertainty of that X, carried into u(Y)\n"
    "  --inverse Y  also the X in the data's range at which the fit gives Y, with its uncertainty\n"
    "  --inverse-u U  the standard uncertainty of that Y\n"
    "  --uncertainties  data lines \"Y X u(Y) [u(X)]\": the weighted fit (every u(X) 0) or the\n"
    "               generalized one in both variables, with the model check (chi2, Gamma)\n"
    "  --u-y RULE   fill a missing u(Y) from RULE: 0.05, 0.02% (of |Y|) or 0.05+0.02%\n"
    "  --u-x RULE   the same for u(X); either implies --uncertainties\n"
    "  --csv        read FILE (or standard input) as a CSV table\n"
    "  --columns C  the CSV columns of Y and X, then of u(Y) and u(X) (which imply --uncertainties), each\n"
    "               by its number from 1 or its name in the header, parted by commas: 2,3 or Y,X\n"
    "  --separator S  the CSV separator: comma, semicolon, tab or blanks\n"
    "  --decimal D  the CSV decimal character: point or comma\n"
    "  --header-lines N  the CSV lines before the first row of numbers\n"
    "  --json       write one JSON object instead of the window's texts, with the exact standard\n"
    "               uncertainties of the coefficients (and of Y at X)\n"
    "  --chart F    also draw the window's chart into F (PNG or SVG by its extension)\n"
    "  --size WxH   the chart's size in pixels (default 289x208)\n"
    "  --report F   also write a calibration report (A4 PDF) into F, a name ending in .pdf\n"
    "  --apply R    instead of the texts, write each reading of the file R (- for standard input) with\n"
    "               a tab and the fitted Y at it (with --uncertainties, lines \"X [u(X)]\" get a tab and\n"
    "               u(Y) too); not with --json, --at or --inverse\n"
    "  -h, --help   print this help\n"
    "Exit status: 0 fitted, 1 too few points, no solution, an iteration that does not settle or no\n"
    "single X for --inverse, 2 a value (or a reading, an uncertainty or a CSV field) is not a number or\n"
    "not allowed, or a CSV quote is not closed or a column not found, 3 a file cannot be opened or read\n"
    "(or is not a regular file), 4 a result after the fit is out of range (the texts reached are\n"
    "printed), 5 the output, the chart or the report cannot be written, 6 more than 10 000 000 lines\n"
    "(or CSV rows), a line (or CSV record) over 1 MiB or out of memory, 64 wrong usage, 70 an\n"
    "unexpected internal error.\n";

namespace {

std::optional<TFunctionKind> KindFromName(std::string_view name) {
    for (int i = 1; i <= 3; ++i) {
        if (name == KindName(i)) {
            return static_cast<TFunctionKind>(i);
        }
    }
    return std::nullopt;
}

void Print(std::FILE* stream, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stream);
}

// Writes the text and flushes it; false, with the reason in errno, when any of it did not arrive.
bool WriteAll(std::FILE* stream, std::string_view text) {
    errno = 0;
    const bool written = std::fwrite(text.data(), 1, text.size(), stream) == text.size();
    return std::fflush(stream) == 0 && written && std::ferror(stream) == 0;
}

// The points of a file (standard input for "-") by the window's reader, without its words: nothing when
// it was read, else the exit status, its message printed. A word that is no number is told by the
// recompute, as the window's would.
template <class Kept>
std::optional<int> ReadInput(const std::string& file, std::FILE* in, std::FILE* err, const TWorkOptions& work,
                             Kept& points) {
    TDataReadOptions how;
    how.maxLineBytes = kLongestCommandLine;
    how.work = work;
    const TDataReadStatus read = file == "-" ? ReadDataFrom(DescriptorSource(fileno(in)), points, how)
                                             : ReadDataFile(file, points, how);
    if (read == TDataReadStatus::TooManyLines) {
        Print(err, std::string(Tr(kTooManyLinesText)) + "\n");
        return ecTooLarge;
    }
    if (read == TDataReadStatus::LineTooLong) {
        Print(err, std::string("quorvel-fit: ") + kLineTooLongText + "\n");
        return ecTooLarge;
    }
    if (read != TDataReadStatus::Ok) {
        Print(err, std::string(Tr(kOpenFailureText)) + "\n");
        return ecCannotOpen;
    }
    return std::nullopt;
}

// How messages name the data file.
std::string DataName(const std::string& file) {
    return file == "-" ? std::string("standard input") : file;
}

const char* const kRoleNames[kCsvRoles] = {"Y", "X", "u(Y)", "u(X)"};

// What is wrong with a CSV table, naming the file, the line and the column.
std::string CsvFaultText(const std::string& file, const TCsvReadResult& read) {
    const TCsvFault& fault = read.fault;
    std::string where = DataName(file) + ':';
    if (fault.line != 0 && fault.problem != TCsvProblem::NoDataLine) {
        where += std::to_string(fault.line) + ':';
    }
    std::string column = " column " + std::to_string(fault.column);
    if (fault.role >= 0) {
        column += std::string(" (") + kRoleNames[fault.role] + ")";
    }
    switch (fault.problem) {
        case TCsvProblem::NotANumber:
            return where + column + ": '" + fault.text + "' is not a number with the decimal character '" +
                   read.layout.decimal + "'";
        case TCsvProblem::BeyondRange:
            return where + column + ": '" + fault.text + "' is beyond the number range";
        case TCsvProblem::UnclosedQuote:
            return where + column + ": the quote is not closed before the end of the file";
        case TCsvProblem::TextAfterQuote:
            return where + column + ": text after the closing quote";
        case TCsvProblem::NoSuchColumn:
            return where + " no column '" + fault.text + "' in the header";
        case TCsvProblem::NoDataLine:
            if (fault.line == 0) {
                return where + " no line ends in the first " + std::to_string(kCsvHeadBytes) + " bytes";
            }
            return where + " none of the first " + std::to_string(fault.line) +
                   " lines has numbers in the columns of Y and X";
        case TCsvProblem::None:
            break;
    }
    return where;
}

// The points of a CSV table, as ReadInput has those of a data file; a field that is wrong ends the
// command here, named with its line and column.
template <class Kept>
std::optional<int> ReadCsvInput(const TFitCommandOptions& options, std::FILE* in, std::FILE* err,
                                Kept& points) {
    TCsvReadOptions how;
    how.maxRecordBytes = kLongestCommandLine;
    const TCsvReadResult read =
        options.file == "-" ? ReadCsvFrom(DescriptorSource(fileno(in)), points, options.csvChoice, how)
                            : ReadCsvFile(options.file, points, options.csvChoice, how);
    switch (read.status) {
        case TDataReadStatus::Ok:
            break;
        case TDataReadStatus::TooManyLines:
            Print(err, std::string(Tr(kTooManyLinesText)) + "\n");
            return ecTooLarge;
        case TDataReadStatus::LineTooLong:
            Print(err, std::string("quorvel-fit: ") + kLineTooLongText + "\n");
            return ecTooLarge;
        default:
            Print(err, std::string(Tr(kOpenFailureText)) + "\n");
            return ecCannotOpen;
    }
    if (read.fault.problem != TCsvProblem::None) {
        Print(err, CsvFaultText(options.file, read) + "\n");
        return ecBadNumber;
    }
    return std::nullopt;
}

// The options that take a value, given as "--name=value" or as "--name value".
constexpr std::string_view kValueOptions[] = {
    "--kind", "--at",      "--chart",     "--report",  "--apply",     "--size",    "--u-y",         "--u-x",
    "--at-u", "--inverse", "--inverse-u", "--columns", "--separator", "--decimal", "--header-lines"};

// The option of kValueOptions that arg gives, or an empty name.
std::string_view ValueOption(std::string_view arg) {
    for (const std::string_view name : kValueOptions) {
        if (arg.substr(0, name.size()) == name && (arg.size() == name.size() || arg[name.size()] == '=')) {
            return name;
        }
    }
    return {};
}

// Sets the option `name` to `value`; false, with `error` set, when the value is refused.
bool SetValueOption(std::string_view name, const std::string& value, TFitCommandOptions& options,
                    std::string& error) {
    if (name == "--kind") {
        const auto kind = KindFromName(value);
        if (!kind) {
            error = "unknown kind '" + value + "'";
            return false;
        }
        options.kind = *kind;
    } else if (name == "--at") {
        options.at = value;
    } else if (name == "--chart") {
        if (value.empty()) {
            error = "--chart needs a file name";
            return false;
        }
        if (!IsChartFileName(value)) {
            error = "unknown chart file type '" + value + "' (use .png or .svg)";
            return false;
        }
        options.chart = value;
    } else if (name == "--report") {
        // The name must say PDF: a slip of the arguments must not overwrite a data file.
        if (!IsPdfFileName(value)) {
            error = "the report's file name must end in .pdf: '" + value + "'";
            return false;
        }
        options.report = value;
    } else if (name == "--u-y" || name == "--u-x") {
        const std::optional<TUncertaintyRule> rule = ParseUncertaintyRule(value);
        if (!rule) {
            error = "bad " + std::string(name) + " '" + value +
                    "' (a value, a percentage such as 0.02%, or both: 0.05+0.02%)";
            return false;
        }
        (name == "--u-y" ? options.uyRule : options.uxRule) = rule;
        options.uncertainties = true;
    } else if (name == "--at-u") {
        options.atU = value;
    } else if (name == "--inverse") {
        options.inverse = value;
    } else if (name == "--inverse-u") {
        options.inverseU = value;
    } else if (name == "--columns") {
        const auto columns = ParseCsvColumns(value);
        if (!columns) {
            error = "bad --columns '" + value + "' (Y,X[,uY[,uX]], each a number from 1 or a header's name)";
            return false;
        }
        options.csvChoice.columns = *columns;
        options.csv = true;
        if (columns->size() > 2) {
            options.uncertainties = true;
        }
    } else if (name == "--separator") {
        const std::optional<TCsvSeparator> separator = value == "comma"       ? TCsvSeparator::Comma
                                                       : value == "semicolon" ? TCsvSeparator::Semicolon
                                                       : value == "tab"       ? TCsvSeparator::Tab
                                                       : value == "blanks"    ? TCsvSeparator::Blanks
                                                                           : std::optional<TCsvSeparator>();
        if (!separator) {
            error = "bad --separator '" + value + "' (comma, semicolon, tab or blanks)";
            return false;
        }
        options.csvChoice.separator = separator;
        options.csv = true;
    } else if (name == "--decimal") {
        if (value != "point" && value != "comma") {
            error = "bad --decimal '" + value + "' (point or comma)";
            return false;
        }
        options.csvChoice.decimal = value == "point" ? '.' : ',';
        options.csv = true;
    } else if (name == "--header-lines") {
        const bool digits =
            !value.empty() && value.size() <= 6 && value.find_first_not_of("0123456789") == std::string::npos;
        if (!digits) {
            error = "bad --header-lines '" + value + "' (a number of lines, 0 or more)";
            return false;
        }
        options.csvChoice.headerLines = std::stoi(value);
        options.csv = true;
    } else if (name == "--apply") {
        if (value.empty()) {
            error = "--apply needs a file of readings";
            return false;
        }
        options.apply = value;
    } else if (!ParseChartSize(value, options.chartWidth, options.chartHeight)) {  // --size
        error = "bad --size '" + value + "' (WxH, each side 1.." + std::to_string(kMaxChartSide) + ")";
        return false;
    } else {
        options.chartSizeGiven = true;
    }
    return true;
}

}  // namespace

std::optional<TFitCommandOptions> ParseFitArguments(const std::vector<std::string>& args,
                                                    std::string& error) {
    TFitCommandOptions options;
    bool haveFile = false;
    bool csvNamed = false;  // --csv itself, rather than an option of the CSV reading
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
            if (haveFile) {
                error = "only one data file can be given";
                return std::nullopt;
            }
            options.file = arg;
            haveFile = true;
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--uncertainties") {
            options.uncertainties = true;
        } else if (arg == "--csv") {
            options.csv = true;
            csvNamed = true;
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (const std::string_view name = ValueOption(arg); !name.empty()) {
            std::string value;
            if (arg.size() > name.size()) {
                value = arg.substr(name.size() + 1);
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                error = std::string(name) + " needs a value";
                return std::nullopt;
            }
            if (!SetValueOption(name, value, options, error)) {
                return std::nullopt;
            }
        } else {
            error = "unknown option '" + arg + "'";
            return std::nullopt;
        }
    }
    if (options.csv && !csvNamed && !IsCsvFileName(options.file)) {
        // The CSV options say how a table is read; a data file of lines would silently ignore them.
        error =
            "--columns, --separator, --decimal and --header-lines go with a CSV file (--csv or a name "
            "ending in .csv)";
        return std::nullopt;
    }
    options.csv = options.csv || IsCsvFileName(options.file);
    if (options.csv && options.uncertainties && options.csvChoice.columns.size() < 3 && !options.uyRule) {
        error = "--uncertainties with a CSV file needs the u(Y) column in --columns, or --u-y";
        return std::nullopt;
    }
    if (!options.chart && options.chartSizeGiven) {
        error = "--size goes with --chart";
        return std::nullopt;
    }
    if (options.atU && !options.at) {
        error = "--at-u goes with --at";
        return std::nullopt;
    }
    if (options.inverseU && !options.inverse) {
        error = "--inverse-u goes with --inverse";
        return std::nullopt;
    }
    if (options.apply) {
        // The readings' lines are the whole standard output.
        if (options.json || options.at) {
            error = "--apply writes the readings alone: it goes without --json and --at";
            return std::nullopt;
        }
        if (options.inverse) {
            error = "--apply writes the readings alone: it goes without --inverse";
            return std::nullopt;
        }
        if (*options.apply == "-" && options.file == "-") {
            error = "standard input can hold the data file or the readings, not both";
            return std::nullopt;
        }
    }
    return options;
}

namespace {

// Standard output, flushed; a failure is reported on stderr.
bool WriteOutput(std::FILE* out, std::FILE* err, std::string_view text) {
    if (WriteAll(out, text)) {
        return true;
    }
    Print(err, std::string("quorvel-fit: cannot write the output: ") +
                   (errno != 0 ? std::strerror(errno) : "write error") + "\n");
    return false;
}

// How messages name the file of readings.
std::string ReadingsName(const TFitCommandOptions& options) {
    return *options.apply == "-" ? std::string("standard input") : *options.apply;
}

// The --at text checked before any data is read, as the window's X field reads it: the exit status
// when it is missing or not a number.
std::optional<int> RefuseAtText(const TFitCommandOptions& options, std::FILE* err) {
    if (!options.at) {
        return std::nullopt;
    }
    const TEvaluation check = EvaluateAt(*options.at, TFitCoefficients{});
    if (check.state == TEvaluation::Skipped) {
        Print(err, "quorvel-fit: --at needs a number\n");
        Print(err, kFitUsage);
        return ecUsage;
    }
    if (check.state == TEvaluation::Invalid) {
        Print(err, check.message + "\n");
        return ecBadNumber;
    }
    return std::nullopt;
}

// A number of the calibration's options (--at-u, --inverse, --inverse-u), read as --at is; an uncertainty
// must not be negative. The exit status when it is refused, its message printed.
std::optional<int> ReadOptionNumber(const std::optional<std::string>& text, const char* name,
                                    bool uncertainty, double& value, std::FILE* err) {
    if (!text) {
        return std::nullopt;
    }
    try {
        value = ParseUserNumber(*text);
    } catch (const Exception&) {
        Print(err, InvalidNumberText(*text) + "\n");
        return ecBadNumber;
    }
    if (uncertainty && !(value >= 0)) {
        Print(err, std::string("quorvel-fit: ") + name + " must not be negative: '" + *text + "'\n");
        return ecBadNumber;
    }
    return std::nullopt;
}

// The calibration's own requests, checked before any data is read.
std::optional<int> ReadRequest(const TFitCommandOptions& options, TCalibrationRequest& request,
                               std::FILE* err) {
    double inverse = 0;
    for (const auto& [text, name, uncertainty, value] :
         {std::tuple{&options.atU, "--at-u", true, &request.atU},
          std::tuple{&options.inverse, "--inverse", false, &inverse},
          std::tuple{&options.inverseU, "--inverse-u", true, &request.inverseU}}) {
        if (const std::optional<int> refused = ReadOptionNumber(*text, name, uncertainty, *value, err)) {
            return refused;
        }
    }
    if (options.inverse) {
        request.inverseY = inverse;
    }
    return std::nullopt;
}

// An uncertainty that is missing or wrong on the first counted line of a file with uncertainties, told
// naming the file and the line (a Y or X that is no number on an earlier line is told by the recompute,
// as for any file): the exit status.
std::optional<int> RefuseUncertaintyLine(const TCalibrationPoints& data, const std::string& file,
                                         std::FILE* err) {
    if (data.faultLine == 0 || (data.unreadable && data.unreadableLine < data.faultLine)) {
        return std::nullopt;
    }
    std::string message =
        (file == "-" ? std::string("standard input") : file) + ':' + std::to_string(data.faultLine) + ": ";
    if (!data.faultWord.empty()) {
        message += data.faultWord + ": ";
    }
    Print(err, message + data.fault + "\n");
    return ecBadNumber;
}

// Where the report says the uncertainties came from.
TUncertaintySource UncertaintySource(const TFitCommandOptions& options) {
    if (!options.uncertainties) {
        return TUncertaintySource::Scatter;
    }
    return options.uyRule || options.uxRule ? TUncertaintySource::ColumnsAndRules
                                            : TUncertaintySource::Columns;
}

// What a fit writes besides standard output: the report and the chart file, each only for a complete
// fit; the exit status of a failure, its message printed.
std::optional<int> WriteFiles(const TFitCommandOptions& options, const TRecomputeResult& result,
                              const TFitCoefficients& store, const TEvaluation* at,
                              const TCalibrationSummary* summary, const TChartSupport& qt, std::FILE* err) {
    try {
        // The report first: a figure of it beyond the range stops the command before either file.
        if (options.report) {
            qt.report(*options.report,
                      TReportInput{options.file, &result, &store, at, summary, UncertaintySource(options)});
        }
        if (options.chart) {
            qt.write(*options.chart, options.chartWidth, options.chartHeight, result, at);
        }
    } catch (const EMathError& e) {
        Print(err, e.Message() + "\n");
        return ecOverflow;
    } catch (const Exception& e) {
        Print(err, "quorvel-fit: " + e.Message() + "\n");
        return ecCannotWrite;
    }
    return std::nullopt;
}

// A fit that was made: the evaluation at X that ends the window's recompute, the texts as far as both
// got (or the readings with their Y), an error after the solve, and the files of a complete fit.
// What the fit is for the report and the JSON besides the window's texts: method, model check, R², the
// kinds compared, Y at X with --at-u and X at Y; nothing where no figure of them is shown.
std::optional<TCalibrationSummary> SummaryOf(const TFitCommandOptions& options,
                                             const TRecomputeResult& result, const TUncertaintyColumns* given,
                                             TCalibrationRequest request, const TEvaluation* at,
                                             const TWorkOptions& work) {
    if (!(options.json || options.report || options.inverse)) {
        return std::nullopt;
    }
    if (at != nullptr) {
        request.atX = at->x;
    }
    return Summarize(result, given, request, work);
}

int ReportFit(const TFitCommandOptions& options, const TRecomputeResult& result,
              const TFitCoefficients& store, int readings, const TChartSupport& qt, std::FILE* out,
              std::FILE* err, const TUncertaintyColumns* given, const TCalibrationRequest& request,
              const TWorkOptions& work) {
    std::exception_ptr error = result.error;
    TEvaluation evaluation;
    if (options.at && !error) {
        evaluation = EvaluateAt(*options.at, store);
    }
    // Y at X beyond the range ends the texts as it ends the window's recompute; the files are still
    // written, the report saying that Y there is beyond the range.
    const bool atBeyondRange = evaluation.state == TEvaluation::BeyondRange;
    const TEvaluation* at = evaluation.state == TEvaluation::Evaluated ? &evaluation : nullptr;
    const TEvaluation* reportAt = options.at && !error ? &evaluation : nullptr;
    if (atBeyondRange) {
        error = evaluation.error;
    }
    // The calibration's figures beside the texts, for the fit as far as the recompute got it whole.
    std::optional<TCalibrationSummary> summary;
    if (!result.error) {
        try {
            summary = SummaryOf(options, result, given, request, at, work);
        } catch (...) {
            if (!error) {
                error = std::current_exception();
            }
        }
    }
    std::string message = error ? ExceptionMessage(error) : std::string();

    int status = ecFitted;
    if (readings >= 0) {
        const std::string name = ReadingsName(options);
        TReadingUncertainty uncertainty{result.calibration.get(), options.uxRule};
        const TAppliedReadings applied = ApplyToReadings(DescriptorSource(readings), store, name, out, err,
                                                         result.calibration ? &uncertainty : nullptr);
        switch (applied.outcome) {
            case TAppliedReadings::Done:
                break;
            case TAppliedReadings::WriteFailed:
                Print(err, std::string("quorvel-fit: cannot write the output: ") +
                               (errno != 0 ? std::strerror(errno) : "write error") + "\n");
                return ecCannotWrite;
            case TAppliedReadings::ReadFailed:
                Print(err, name + ": " + Tr(kOpenFailureText) + "\n");
                return ecCannotOpen;
            case TAppliedReadings::LineTooLong:
                Print(err, "quorvel-fit: " + name + ": " + kLineTooLongText + "\n");
                return ecTooLarge;
        }
        status = applied.badNumber ? ecBadNumber : applied.overflow ? ecOverflow : ecFitted;
    } else if (options.json) {
        const TJsonReport json = JsonReport(result, store, at, message, summary ? &*summary : nullptr);
        if (!WriteOutput(out, err, json.text)) {
            return ecCannotWrite;
        }
        if (!error && json.overflow) {
            message = EOverflow().Message();
        }
    } else {
        std::string text = PlainReport(result, at);
        if (summary && summary->inverse && summary->inverse->x) {
            text += std::string(Tr(kXLabel)) + FormatFittedValue(summary->inverse->x->value) + '\n';
        }
        if (!WriteOutput(out, err, text)) {
            return ecCannotWrite;
        }
    }
    if (atBeyondRange) {
        if (const std::optional<int> failed =
                WriteFiles(options, result, store, reportAt, summary ? &*summary : nullptr, qt, err)) {
            return *failed;
        }
    }
    if (!message.empty()) {
        Print(err, message + "\n");
        return status == ecBadNumber ? status : ecOverflow;
    }
    if (summary && summary->inverse && !summary->inverse->x) {
        // The rest is written; the inverse has no answer to give.
        Print(err, "quorvel-fit: --inverse: no X, or more than one, in the range of the data gives Y = " +
                       *options.inverse + "\n");
        status = ecNoFit;
    }
    if (const std::optional<int> failed =
            WriteFiles(options, result, store, at, summary ? &*summary : nullptr, qt, err)) {
        return *failed;
    }
    return status;
}

}  // namespace

int RunFitCommand(const std::vector<std::string>& args, std::FILE* in, std::FILE* out, std::FILE* err,
                  const TChartSupport& qt, const TWorkOptions& work) {
    std::string usageError;
    const std::optional<TFitCommandOptions> parsed = ParseFitArguments(args, usageError);
    if (!parsed) {
        Print(err, "quorvel-fit: " + usageError + "\n");
        Print(err, kFitUsage);
        return ecUsage;
    }
    const TFitCommandOptions& options = *parsed;
    if (options.help) {
        return WriteOutput(out, err, kFitUsage) ? ecFitted : ecCannotWrite;
    }
    if ((options.chart || options.report) && (qt.write == nullptr || qt.report == nullptr)) {
        // Nothing is read yet, standard input included: the other program runs the command whole.
        return qt.handOver != nullptr ? qt.handOver(err) : ecInternal;
    }
    ReadNumberSettingsFromLocale();
    if (const std::optional<int> refused = RefuseAtText(options, err)) {
        return *refused;
    }
    TCalibrationRequest request;
    if (const std::optional<int> refused = ReadRequest(options, request, err)) {
        return *refused;
    }

    // The points, and with --uncertainties also their uncertainties; the first word that is wrong stops
    // the command before any fit.
    TDataPoints data;
    TCalibrationPoints calibration;
    calibration.uyRule = options.uyRule;
    calibration.uxRule = options.uxRule;
    const std::optional<int> unread =
        options.csv             ? (options.uncertainties ? ReadCsvInput(options, in, err, calibration)
                                                         : ReadCsvInput(options, in, err, data))
        : options.uncertainties ? ReadInput(options.file, in, err, work, calibration)
                                : ReadInput(options.file, in, err, work, data);
    if (unread) {
        return *unread;
    }
    if (options.uncertainties) {
        if (const std::optional<int> refused = RefuseUncertaintyLine(calibration, options.file, err)) {
            return *refused;
        }
        data.points = std::move(calibration.points);
        data.unreadable = calibration.unreadable;
    }
    // The readings are opened now, so that a missing file is named before any fit, and read as they
    // are applied.
    int readings = -1;
    if (options.apply) {
        readings = *options.apply == "-" ? fileno(in) : OpenRegularFile(*options.apply);
        if (readings < 0) {
            Print(err, ReadingsName(options) + ": " + Tr(kOpenFailureText) + "\n");
            return ecCannotOpen;
        }
    }
    const TDescriptorCloser closer(options.apply && *options.apply != "-" ? readings : -1);

    // The window's recompute, once; a cell that is not a number (or beyond the range) stops it before
    // anything is shown. The uncertainties are found only where they are shown.
    TFitCoefficients store;
    std::optional<TRecomputeResult> result;
    try {
        const bool withUncertainty = (options.json || options.report.has_value()) && !options.uncertainties;
        const bool forChart = options.chart.has_value() || options.report.has_value();
        if (data.unreadable) {
            std::rethrow_exception(data.unreadable);
        }
        result = RecomputePoints(std::move(data.points), options.kind, store, withUncertainty, forChart, work,
                                 options.uncertainties ? &calibration.u : nullptr);
    } catch (const ESolveOverflow& e) {
        // The fit exists but cannot be written: nothing is printed, as for a fit that does not exist.
        Print(err, e.Message() + "\n");
        return ecOverflow;
    } catch (const Exception& e) {
        Print(err, e.Message() + "\n");
        return ecBadNumber;
    }
    if (result->tooFew) {
        Print(err, std::string(Tr(kTooFewCaption)) + "\n");
        return ecNoFit;
    }
    if (result->solveFailed) {
        Print(err, result->solveFailure + "\n");
        return ecNoFit;
    }
    return ReportFit(options, *result, store, readings, qt, out, err,
                     options.uncertainties ? &calibration.u : nullptr, request, work);
}

int RunFitProgram(int argc, char** argv, const TChartSupport& qt, const TWorkOptions& work) {
    try {
        const std::vector<std::string> args(argv + 1, argv + argc);
        return RunFitCommand(args, stdin, stdout, stderr, qt, work);
    } catch (const std::bad_alloc&) {
        std::fputs("quorvel-fit: out of memory\n", stderr);
        return ecTooLarge;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quorvel-fit: %s\n", e.what());
    } catch (...) {
        std::fputs("quorvel-fit: unexpected error\n", stderr);
    }
    return ecInternal;
}

}  // namespace quorvel

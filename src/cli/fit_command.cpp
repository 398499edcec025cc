#include "cli/fit_command.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <exception>
#include <new>
#include <optional>
#include <string_view>

#include "cli/chart_output.h"
#include "fitting/data_file_reader.h"
#include "fitting/messages.h"
#include "fitting/presentation.h"
#include "fitting/two_parts.h"
#include "runtime/exceptions.h"
#include "runtime/number_text.h"

namespace quorvel {

const char* const kFitUsage =
    "Usage: quorvel-fit [--kind linear|quadratic|cubic] [--at X] [--json] [--chart FILE [--size WxH]]\n"
    "                   [FILE|-]\n"
    "Fits Y = a3*X^3 + a2*X^2 + a1*X + a0 by least squares to a data file of lines \"Y X\"\n"
    "(standard input when FILE is - or missing). Numbers use the locale's decimal character or \".\".\n"
    "  --kind K   linear, quadratic or cubic (default cubic)\n"
    "  --at X     also evaluate the fitted polynomial at X\n"
    "  --json     write one JSON object instead of the window's texts\n"
    "  --chart F  also draw the window's chart into F (PNG or SVG by its extension)\n"
    "  --size WxH the chart's size in pixels (default 289x208)\n"
    "  -h, --help print this help\n"
    "Exit status: 0 fitted, 1 too few points or no solution, 2 a value is not a number,\n"
    "3 the data file cannot be opened or read (or is not a regular file), 4 a result after the fit is\n"
    "out of range (the texts reached are printed), 5 the output or the chart file cannot be written,\n"
    "6 more than 10 000 000 lines or out of memory, 64 wrong usage, 70 an unexpected internal error.\n";

namespace {

constexpr const char* kKindNames[] = {"linear", "quadratic", "cubic"};

std::optional<TFunctionKind> KindFromName(std::string_view name) {
    for (int i = 0; i < 3; ++i) {
        if (name == kKindNames[i]) {
            return static_cast<TFunctionKind>(i + 1);
        }
    }
    return std::nullopt;
}

void AppendJsonString(std::string& out, std::string_view text) {
    out += '"';
    for (const char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    static const char kHex[] = "0123456789abcdef";
                    out += "\\u00";
                    out += kHex[(c >> 4) & 0xF];
                    out += kHex[c & 0xF];
                } else {
                    out += c;
                }
        }
    }
    out += '"';
}

// The shortest text that reads back to the same double, independent of the locale.
void AppendJsonNumber(std::string& out, double value) {
    std::array<char, 32> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    out.append(buffer.data(), result.ptr);
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

// The data file (standard input for "-") through the one reader, into `table`: nothing when it was
// read, else the exit status, its message printed.
std::optional<int> ReadInput(const TFitCommandOptions& options, std::FILE* in, std::FILE* err,
                             TDataFileTable& table) {
    const TDataReadStatus read = options.file == "-" ? ReadDataTableFromDescriptor(fileno(in), table)
                                                     : ReadDataTable(options.file, table);
    if (read == TDataReadStatus::TooManyLines) {
        Print(err, std::string(kTooManyLinesText) + "\n");
        return ecTooLarge;
    }
    if (read != TDataReadStatus::Ok) {
        Print(err, std::string(kOpenFailureText) + "\n");
        return ecCannotOpen;
    }
    return std::nullopt;
}

// The window's texts, one a line, as far as the recompute got: the coefficient captions of the kind and
// the formula, then the two statistics, then Y at the asked X.
std::string PlainReport(const TRecomputeResult& result, const TEvaluation* at) {
    std::string text;
    for (int i = 0; i <= static_cast<int>(result.kind); ++i) {
        text += result.panelCaptions[static_cast<std::size_t>(i)];
        text += '\n';
    }
    text += result.formula + '\n';
    if (result.reached >= rsStatistics) {
        text += std::string(kMaxErrorLabel) + ' ' + result.maxErrText + '\n';
        text += std::string(kSigmaLabel) + ' ' + result.sigmaText + '\n';
    }
    if (at != nullptr) {
        text += "Y=" + at->yText + '\n';
    }
    return text;
}

// The same as one JSON object, numbers as shortest round-trip texts; `error` names what stopped it.
std::string JsonReport(const TRecomputeResult& result, const TFitCoefficients& store, const TEvaluation* at,
                       const std::string& error) {
    std::string text = "{\"kind\":";
    AppendJsonString(text, kKindNames[result.kind - 1]);
    text += ",\"points\":" + std::to_string(result.pointCount);
    text += ",\"coefficients\":[";
    const double a[4] = {store.a0, store.a1, store.a2, store.a3};
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            text += ',';
        }
        AppendJsonNumber(text, a[i]);
    }
    text += ']';
    if (result.reached >= rsStatistics) {
        text += ",\"max_error\":";
        AppendJsonNumber(text, result.statistics.maxError);
        text += ",\"sigma\":";
        AppendJsonNumber(text, result.statistics.sigma);
    }
    text += ",\"formula\":";
    AppendJsonString(text, result.formula);
    if (at != nullptr) {
        text += ",\"x\":";
        AppendJsonNumber(text, at->x);
        text += ",\"y\":";
        AppendJsonNumber(text, at->y);
    }
    if (!error.empty()) {
        text += ",\"error\":";
        AppendJsonString(text, error);
    }
    text += "}\n";
    return text;
}

}  // namespace

std::optional<TFitCommandOptions> ParseFitArguments(const std::vector<std::string>& args,
                                                    std::string& error) {
    TFitCommandOptions options;
    bool haveFile = false;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        // An option with a value takes it from "--name=value" or from the next argument.
        const auto value = [&](std::string_view name, std::string& out) {
            if (arg == name) {
                if (i + 1 >= args.size()) {
                    error = std::string(name) + " needs a value";
                    return false;
                }
                out = args[++i];
                return true;
            }
            out = arg.substr(name.size() + 1);
            return true;
        };
        const auto is = [&](std::string_view name) {
            return arg == name || (arg.size() > name.size() && arg.compare(0, name.size(), name) == 0 &&
                                   arg[name.size()] == '=');
        };
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
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (is("--kind")) {
            std::string name;
            if (!value("--kind", name)) {
                return std::nullopt;
            }
            const auto kind = KindFromName(name);
            if (!kind) {
                error = "unknown kind '" + name + "'";
                return std::nullopt;
            }
            options.kind = *kind;
        } else if (is("--at")) {
            std::string text;
            if (!value("--at", text)) {
                return std::nullopt;
            }
            options.at = text;
        } else if (is("--chart")) {
            std::string path;
            if (!value("--chart", path)) {
                return std::nullopt;
            }
            if (path.empty()) {
                error = "--chart needs a file name";
                return std::nullopt;
            }
            if (!IsChartFileName(path)) {
                error = "unknown chart file type '" + path + "' (use .png or .svg)";
                return std::nullopt;
            }
            options.chart = path;
        } else if (is("--size")) {
            std::string size;
            if (!value("--size", size)) {
                return std::nullopt;
            }
            if (!ParseChartSize(size, options.chartWidth, options.chartHeight)) {
                error = "bad --size '" + size + "' (WxH, each side 1.." + std::to_string(kMaxChartSide) + ")";
                return std::nullopt;
            }
        } else {
            error = "unknown option '" + arg + "'";
            return std::nullopt;
        }
    }
    if (!options.chart &&
        (options.chartWidth != kDefaultChartWidth || options.chartHeight != kDefaultChartHeight)) {
        error = "--size goes with --chart";
        return std::nullopt;
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

// A fit that was made: the evaluation at X that ends the window's recompute, the texts as far as both
// got, an error after the solve, and the chart file of a complete one.
int ReportFit(const TFitCommandOptions& options, const TRecomputeResult& result,
              const TFitCoefficients& store, const TChartSupport& chart, std::FILE* out, std::FILE* err) {
    std::exception_ptr error = result.error;
    TEvaluation evaluation;
    if (options.at && !error) {
        try {
            evaluation = EvaluateAt(*options.at, store);
        } catch (...) {
            error = std::current_exception();
        }
    }
    const TEvaluation* at = options.at && !error ? &evaluation : nullptr;
    const std::string message = error ? ExceptionMessage(error) : std::string();

    if (!WriteOutput(out, err,
                     options.json ? JsonReport(result, store, at, message) : PlainReport(result, at))) {
        return ecCannotWrite;
    }
    if (error) {
        Print(err, message + "\n");
        return ecOverflow;
    }
    if (options.chart) {
        try {
            chart.write(*options.chart, options.chartWidth, options.chartHeight, result, at);
        } catch (const Exception& e) {
            Print(err, "quorvel-fit: " + e.Message() + "\n");
            return ecCannotWrite;
        }
    }
    return ecFitted;
}

}  // namespace

int RunFitCommand(const std::vector<std::string>& args, std::FILE* in, std::FILE* out, std::FILE* err,
                  const TChartSupport& chart) {
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
    if (options.chart && chart.write == nullptr) {
        // Nothing is read yet, standard input included: the other program runs the command whole.
        return chart.handOver != nullptr ? chart.handOver(err) : ecInternal;
    }
    ReadNumberSettingsFromLocale();
    if (const std::optional<int> refused = RefuseAtText(options, err)) {
        return *refused;
    }

    TDataFileTable table;
    if (const std::optional<int> refused = ReadInput(options, in, err, table)) {
        return *refused;
    }

    // The window's recompute, once; a cell that is not a number (or beyond the range) stops it before
    // anything is shown.
    TFitCoefficients store;
    std::optional<TRecomputeResult> result;
    try {
        result = Recompute(table, options.kind, store);
    } catch (const Exception& e) {
        Print(err, e.Message() + "\n");
        return ecBadNumber;
    }
    if (result->tooFew) {
        Print(err, std::string(kTooFewCaption) + "\n");
        return ecNoFit;
    }
    if (result->solveFailed) {
        Print(err, std::string(kSolveFailedText) + "\n");
        return ecNoFit;
    }
    return ReportFit(options, *result, store, chart, out, err);
}

int RunFitProgram(int argc, char** argv, const TChartSupport& chart) {
    AllowSecondCore(true);
    try {
        const std::vector<std::string> args(argv + 1, argv + argc);
        return RunFitCommand(args, stdin, stdout, stderr, chart);
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

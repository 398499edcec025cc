#include "cli/fit_command.h"

#include <array>
#include <charconv>
#include <cstring>
#include <string_view>

#include "cli/chart_output.h"
#include "fitting/data_file_reader.h"
#include "fitting/least_squares.h"
#include "fitting/point_extraction.h"
#include "fitting/presentation.h"
#include "fitting/result_texts.h"
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
    "3 the file cannot be opened (or is not a regular file), 6 more than 10 000 000 lines or out of\n"
    "memory, 64 wrong usage, 70 an unexpected internal error.\n";

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

int RunFitCommand(const std::vector<std::string>& args, std::FILE* in, std::FILE* out, std::FILE* err) {
    std::string usageError;
    const std::optional<TFitCommandOptions> parsed = ParseFitArguments(args, usageError);
    if (!parsed) {
        Print(err, "quorvel-fit: " + usageError + "\n");
        Print(err, kFitUsage);
        return ecUsage;
    }
    const TFitCommandOptions& options = *parsed;
    if (options.help) {
        Print(out, kFitUsage);
        return ecFitted;
    }
    ReadNumberSettingsFromLocale();

    // The X to evaluate at is checked before any data is read, as the window's X field would be.
    double atX = 0;
    if (options.at) {
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
        atX = check.x;
    }

    TDataFileTable table;
    const TDataReadStatus read = options.file == "-" ? ReadDataTableFromDescriptor(fileno(in), table)
                                                     : ReadDataTable(options.file, table);
    if (read == TDataReadStatus::TooManyLines) {
        Print(err, std::string(kTooManyLinesText) + "\n");
        return ecTooLarge;
    }
    if (read != TDataReadStatus::Ok) {
        Print(err, "Не могу открыть файл.\n");
        return ecCannotOpen;
    }

    try {
        const TPointTable points = ExtractPoints(table);
        if (HasTooFewPoints(options.kind, static_cast<int>(points.size()))) {
            Print(err, "Мало данных\n");
            return ecNoFit;
        }
        TFitCoefficients store;
        if (!SolveLeastSquares(options.kind, points, store)) {
            Print(err, "Коэффициенты определить невозможно\n");
            return ecNoFit;
        }
        const TCoefficientTexts texts = MakeCoefficientTexts(store);
        const std::string formula = BuildFormula(store, options.kind, texts);
        const TFitStatistics stats = ComputeStatistics(points, store);
        TEvaluation at;
        if (options.at) {
            at = EvaluateAt(*options.at, store);
        }

        std::string text;
        if (options.json) {
            text += "{\"kind\":";
            AppendJsonString(text, kKindNames[options.kind - 1]);
            text += ",\"points\":" + std::to_string(points.size());
            text += ",\"coefficients\":[";
            const double a[4] = {store.a0, store.a1, store.a2, store.a3};
            for (int i = 0; i < 4; ++i) {
                if (i > 0) {
                    text += ',';
                }
                AppendJsonNumber(text, a[i]);
            }
            text += "],\"max_error\":";
            AppendJsonNumber(text, stats.maxError);
            text += ",\"sigma\":";
            AppendJsonNumber(text, stats.sigma);
            text += ",\"formula\":";
            AppendJsonString(text, formula);
            if (options.at) {
                text += ",\"x\":";
                AppendJsonNumber(text, atX);
                text += ",\"y\":";
                AppendJsonNumber(text, at.y);
            }
            text += "}\n";
        } else {
            for (int i = 0; i <= static_cast<int>(options.kind); ++i) {
                text += texts.captions[static_cast<std::size_t>(i)];
                text += '\n';
            }
            text += formula + '\n';
            text += "Максимальная ошибка " + FormatNumber("0.###", stats.maxError) + '\n';
            text += "Среднекв. отклонение " + FormatNumber("0.###", stats.sigma) + '\n';
            if (options.at) {
                text += "Y=" + at.yText + '\n';
            }
        }
        Print(out, text);

        if (options.chart) {
            // The chart shows what the window shows after a recompute with this table and kind.
            TFitCoefficients chartStore;
            const TRecomputeResult shown = Recompute(table, options.kind, chartStore);
            std::optional<TDataPoint> evaluated;
            if (options.at) {
                evaluated = TDataPoint{atX, at.y};
            }
            try {
                RenderChartFile(*options.chart, options.chartWidth, options.chartHeight, shown, evaluated);
            } catch (const Exception& e) {
                Print(err, e.Message() + "\n");
                return ecCannotOpen;
            }
        }
    } catch (const EConvertError& e) {
        Print(err, e.Message() + "\n");
        return ecBadNumber;
    } catch (const Exception& e) {
        // An overflow in a cell or in the statistics: the data cannot be shown as numbers.
        Print(err, e.Message() + "\n");
        return ecBadNumber;
    }
    return std::fflush(out) == 0 ? ecFitted : ecNoFit;
}

}  // namespace quorvel

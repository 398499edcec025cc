// Runs the real quorvel-fit on small files and checks its output and exit status.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fitting/data_file_reader.h"

namespace {

struct TRun {
    int status = -1;
    std::string out;
    std::string err;
};

// A path quoted for the shell (the tests' paths hold no quote).
std::string Quote(const std::string& path) {
    std::string quoted(1, '\'');
    quoted += path;
    quoted += '\'';
    return quoted;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class FitCommand : public ::testing::Test {
protected:
    // Files are named after the test, since CTest runs the tests of this fixture side by side.
    static std::string Prefix() {
        return ::testing::TempDir() + "quorvel_fit_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_";
    }

    std::string Write(const std::string& name, const std::string& content) {
        const std::string path = Prefix() + name;
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    // Runs the program with `args` (already quoted for the shell) under the given locale; standard
    // output goes to `outPath` when one is given.
    TRun Run(const std::string& args, const std::string& locale = "C", const std::string& input = "",
             const std::string& outPath = "") {
        const std::string base = Prefix() + "run";
        const std::string stdinPath = Write("stdin", input);
        const std::string out = outPath.empty() ? base + ".out" : outPath;
        const std::string command = "LC_ALL=" + locale + " '" + QUORVEL_FIT_PATH + "' " + args + " <'" +
                                    stdinPath + "' >'" + out + "' 2>'" + base + ".err'";
        TRun run = Collect(std::system(command.c_str()), base);
        if (!outPath.empty()) {
            run.out.clear();
        }
        return run;
    }

    // Runs a line of the shell in which $FIT names the program.
    TRun Shell(const std::string& line) {
        const std::string base = Prefix() + "shell";
        const std::string command = "FIT='" + std::string(QUORVEL_FIT_PATH) + "' LC_ALL=C sh -c " +
                                    Quote(line) + " >'" + base + ".out' 2>'" + base + ".err'";
        return Collect(std::system(command.c_str()), base);
    }

private:
    static TRun Collect(int raw, const std::string& base) {
        TRun run;
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.out = ReadFile(base + ".out");
        run.err = ReadFile(base + ".err");
        return run;
    }
};

TEST_F(FitCommand, PlainOutputIsTheWindowsTexts) {
    const std::string file = Write("line.txt", "2 1\n20 10\n");
    TRun run = Run("--kind linear " + Quote(file));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "a0 = 0\na1 = 2.0000000\nY = 2.0000000 * X \nМаксимальная ошибка 0\nСреднекв. отклонение 0\n");
    EXPECT_EQ(run.err, "");

    const std::string quad = Write("quad.txt", "2 -1\n10 3\n5 2\n37 6\n");
    run = Run("--kind quadratic --at 2 " + Quote(quad));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "a0 = 1.0000000\na1 = 0\na2 = 1.0000000\nY = 1.0000000 * X^2  +1.0000000\n"
              "Максимальная ошибка 0\nСреднекв. отклонение 0\nY=5.0000000\n");

    const std::string cubic = Write("cubic.txt", "-1 -1\n0 0\n1 1\n8 2\n");
    run = Run(Quote(cubic));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "a0 = 0\na1 = 0\na2 = 0\na3 = 1.0000000\nY = 1.0000000 * X^3 \n"
              "Максимальная ошибка 0\nСреднекв. отклонение 0\n");
}

// The number after "key": in a JSON text.
double JsonNumber(const std::string& json, const std::string& key) {
    const std::size_t at = json.find("\"" + key + "\":");
    EXPECT_NE(at, std::string::npos) << key;
    return at == std::string::npos ? 0 : std::strtod(json.c_str() + at + key.size() + 3, nullptr);
}

// 25 rows "Y X" around x0: X = x0 + i·1.001 and Y = X + 0.1·sin(1.7·i + 0.3), each with six decimals.
std::string FarData(double x0) {
    std::string text;
    for (int i = 0; i < 25; ++i) {
        char x[40], y[40];
        std::snprintf(x, sizeof x, "%.6f", x0 + i * 1.001);
        std::snprintf(y, sizeof y, "%.6f", std::strtod(x, nullptr) + 0.1 * std::sin(1.7 * i + 0.3));
        text += std::string(y) + " " + x + "\n";
    }
    return text;
}

// Far from zero the maximum error, sigma and Y at X are those of the exact fit (expected values as in
// ApplyToReadings; sigma within a few units in the last place, its sum being rounded at each step). From
// the rounded coefficients the cubic at 10^7 had max_error 1.1198 and sigma 1.0413, against a residual
// SD of 0.075.
TEST_F(FitCommand, JsonFarFromZero) {
    const struct {
        const char* kind;
        double x0;
        const char* at;
        double y;
        double maxError;
        double sigma;
    } rows[] = {
        {"cubic", 1e7, "10000007.564", 10000007.560113257, 0.10576985040017743, 0.07038604869859223},
        {"cubic", 1e6, "1000007.564", 1000007.5601132567, 0.10576985069796177, 0.07038604871508482},
        {"quadratic", 1e7, "10000007.564", 10000007.56390776, 0.1044759904945858, 0.07047079013492069},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.kind) + " " + row.at);
        const std::string file = Write("far.txt", FarData(row.x0));
        const TRun run =
            Run(std::string("--json --kind ") + row.kind + " --at " + row.at + " " + Quote(file));
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(JsonNumber(run.out, "y"), row.y);
        EXPECT_EQ(JsonNumber(run.out, "max_error"), row.maxError);
        EXPECT_NEAR(JsonNumber(run.out, "sigma"), row.sigma, 4e-16 * row.sigma);
    }
}

TEST_F(FitCommand, JsonOutput) {
    const std::string file = Write("json.txt", "1 0\n1.5 1\n2 2\n4 3\n");
    const TRun run = Run("--json --kind linear --at 0.1 " + Quote(file));
    EXPECT_EQ(run.status, 0);
    // Least squares by hand: a1 = 4.75/5 = 0.95, a0 = 2.125 − 0.95·1.5 = 0.7; deviations 0.3, 0.15,
    // 0.6, 0.45, so sigma = √(0.675/3).
    EXPECT_EQ(run.out.substr(0, 58), "{\"kind\":\"linear\",\"points\":4,\"coefficients\":[0.7,0.95,0,0],");
    EXPECT_NEAR(JsonNumber(run.out, "max_error"), 0.6, 1e-15);
    EXPECT_NEAR(JsonNumber(run.out, "sigma"), std::sqrt(0.225), 1e-15);
    EXPECT_NE(run.out.find("\"formula\":\"Y = 0.9500000 * X  +0.7000000\",\"x\":0.1,\"y\":"),
              std::string::npos)
        << run.out;
    EXPECT_NEAR(JsonNumber(run.out, "y"), 0.795, 1e-15);
    EXPECT_EQ(run.out.substr(run.out.size() - 2), "}\n");
}

TEST_F(FitCommand, StandardInput) {
    const std::string data = "2 1\n20 10\n";
    TRun run = Run("--kind linear -", "C", data);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.substr(0, 7), "a0 = 0\n");
    run = Run("--kind linear", "C", data);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.substr(0, 7), "a0 = 0\n");
}

TEST_F(FitCommand, ExitStatuses) {
    TRun run = Run("--kind quadratic " + Quote(Write("few.txt", "1 1\n2 2\n3\n")));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Мало данных\n");
    EXPECT_EQ(run.out, "");

    run = Run("--kind linear " + Quote(Write("same.txt", "1 5\n2 5\n")));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Коэффициенты определить невозможно\n");
    // Solvable, but a coefficient is beyond the range (a slope of 10^310, an a3 of about 10^312): an
    // overflow with nothing printed, not "no solution".
    for (const auto& [kind, data] : {std::pair<std::string, std::string>{"linear", "1 1e-310\n2 2e-310\n"},
                                     {"cubic", "1 1e-104\n2 2e-104\n3 3e-104\n5 4e-104\n"}}) {
        for (const char* json : {"", "--json "}) {
            run = Run(json + ("--kind " + kind + " ") + Quote(Write("tiny.txt", data)));
            EXPECT_EQ(run.status, 4) << kind << json;
            EXPECT_EQ(run.err, "Floating point overflow\n") << kind << json;
            EXPECT_EQ(run.out, "") << kind << json;
        }
    }

    run = Run(Quote(Write("bad.txt", "1 1\n2 2\nabc def\n4 4\n")));
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "'abc' is not a valid floating point value\n");

    run = Run("--at x1 " + Quote(Write("ok.txt", "1 1\n2 2\n")));
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err.rfind("x1 не является правильным числом\n", 0), 0u) << run.err;
    // Finished texts are numbers only when complete: a cut exponent in --at or in a cell is refused.
    run = Run("--at 1.5e- " + Quote(Write("ok.txt", "1 1\n2 2\n")));
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err.rfind("1.5e- не является правильным числом\n", 0), 0u) << run.err;
    run = Run("--kind linear " + Quote(Write("cut.txt", "1 1\n2 2e\n3 3\n")));
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "'2e' is not a valid floating point value\n");
    // The examples of valid input are written with the locale's decimal character, valid where shown.
    run = Run("--at 0,25 " + Quote(Write("ok.txt", "1 1\n2 2\n")));
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err,
              "0,25 не является правильным числом\nПримеры правильного ввода:\n   0.25\n   -15.74e4\n   "
              "+15638e-5\n");

    run = Run(Quote(::testing::TempDir() + "no/such/file.txt"));
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.err, "Не могу открыть файл.\n");
    run = Run(Quote(::testing::TempDir()));  // a folder is no data file
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.err, "Не могу открыть файл.\n");

    for (const char* args : {"--kind quartic",
                             "--frobnicate",
                             "a b",
                             "--at",
                             "--at ''",
                             "--apply",
                             "--apply r --json",
                             "--apply r --at 1",
                             "--apply -",
                             "--report r.txt",
                             "--report",
                             "--columns 1 a.csv",
                             "--columns 0,1 a.csv",
                             "--separator colon a.csv",
                             "--decimal dot a.csv",
                             "--header-lines -1 a.csv",
                             "--columns 1,2 a.txt",
                             "--decimal comma -",
                             "--uncertainties a.csv",
                             "--columns 1,2 --uncertainties -"}) {
        run = Run(args);
        EXPECT_EQ(run.status, 64) << args;
        EXPECT_NE(run.err.find("Usage: quorvel-fit"), std::string::npos) << args;
    }
    run = Run("--help");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("Usage: quorvel-fit"), std::string::npos);
}

// The texts follow the user's language, however it is given; the numbers follow the locale whatever
// the language. English needs no generated English locale.
TEST_F(FitCommand, TextsFollowTheUserLanguage) {
    const std::string line = Write("line.txt", "2 1\n20 10\n");
    const std::string few = Write("few.txt", "2 1\n");
    const std::string ru =
        "a0 = 0\na1 = 2.0000000\nY = 2.0000000 * X \nМаксимальная ошибка 0\nСреднекв. отклонение 0\n";
    const std::string en = "a0 = 0\na1 = 2.0000000\nY = 2.0000000 * X \nMaximum error 0\nRMS deviation 0\n";
    const std::string enComma =
        "a0 = 0\na1 = 2,0000000\nY = 2,0000000 * X \nMaximum error 0\nRMS deviation 0\n";
    const struct {
        const char* environment;
        const std::string& out;
        const char* tooFew;
    } rows[] = {
        {"-u LANGUAGE -u LC_ALL -u LC_MESSAGES LANG=en_US.UTF-8", en, "Too few data\n"},
        {"-u LC_MESSAGES -u LANG LANGUAGE=en LC_ALL=C", en, "Too few data\n"},
        {"-u LC_MESSAGES LANGUAGE=de:ru LC_ALL=C", en, "Too few data\n"},
        {"-u LC_MESSAGES LANGUAGE=ru:en LC_ALL=C LANG=en_US.UTF-8", ru, "Мало данных\n"},
        {"-u LANGUAGE -u LC_ALL -u LC_MESSAGES -u LANG", ru, "Мало данных\n"},
        {"-u LANGUAGE -u LC_MESSAGES LC_ALL=POSIX LANG=en_US.UTF-8", ru, "Мало данных\n"},
        {"-u LANGUAGE -u LC_ALL LC_MESSAGES=en_GB.UTF-8 LANG=C", en, "Too few data\n"},
        {"-u LC_MESSAGES LANGUAGE=en LC_ALL=ru_RU.UTF-8", enComma, "Too few data\n"},
    };
    for (const auto& row : rows) {
        TRun run = Shell(std::string("env ") + row.environment + " \"$FIT\" --kind linear \"" + line + "\"");
        EXPECT_EQ(run.status, 0) << row.environment;
        EXPECT_EQ(run.out, row.out) << row.environment;
        run = Shell(std::string("env ") + row.environment + " \"$FIT\" --kind linear \"" + few + "\"");
        EXPECT_EQ(run.status, 1) << row.environment;
        EXPECT_EQ(run.err, row.tooFew) << row.environment;
    }
    // The other messages the window shares, and the usage, in English.
    const std::string english = "env -u LC_MESSAGES -u LANG LANGUAGE=en LC_ALL=C \"$FIT\" ";
    TRun run = Shell(english + "--at x1 \"" + line + "\"");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err,
              "x1 is not a valid number\nExamples of valid input:\n   0.25\n   -15.74e4\n   +15638e-5\n");
    run = Shell(english + "\"" + ::testing::TempDir() + "no/such/file.txt\"");
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.err, "Cannot open the file.\n");
    run = Shell(english + "--help");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("Usage: quorvel-fit [--kind linear|quadratic|cubic]", 0), 0u) << run.out;
}

// --apply: each reading's first word as a table cell reads, Y as the shortest text, bad lines named.
TEST_F(FitCommand, ApplyToReadings) {
    // Y = 2X + 1 exactly; the readings' Y are those of EvalPolynomial, printed with ".".
    const std::string line = "1 0\n3 1\n5 2\n";
    // Far from zero the readings' Y are the exact least-squares polynomial's values rounded once (Python
    // with fractions.Fraction, as in the fitting tests' far-from-zero rows): from the rounded coefficients
    // they were 10000006.54296875 and 9999999.50390625 (cubic at 10^7), 1000007.5664043427 (cubic at
    // 10^6) and 10000007.563908897 (quadratic at 10^7).
    const struct {
        const char* name;
        std::string readings;
        std::string locale;
        int status;
        std::string out;
        std::string err;  // with NAME for the readings' file name
        const char* kind = "linear";
        std::string data = "1 0\n3 1\n5 2\n";
    } rows[] = {
        {"plain", "0.1\n2\n-3e2\n", "C", 0, "0.1\t1.2\n2\t5\n-3e2\t-599\n", ""},
        {"cubic at 10^7", "10000007.5640\n10000000.5000\n", "C", 0,
         "10000007.5640\t10000007.560113257\n10000000.5000\t10000000.523530869\n", "", "cubic", FarData(1e7)},
        {"cubic at 10^6", "1000007.5640\n1000024.0240\n", "C", 0,
         "1000007.5640\t1000007.5601132567\n1000024.0240\t1000024.0307142643\n", "", "cubic", FarData(1e6)},
        {"quadratic at 10^7", "10000007.5640\n10000012.3456\n", "C", 0,
         "10000007.5640\t10000007.56390776\n10000012.3456\t10000012.341336047\n", "", "quadratic",
         FarData(1e7)},
        // Further words are ignored, CR LF and a byte-order mark as in data files, the last line needs
        // no LF, an empty line (or one of blanks) stays empty.
        {"words and line ends", "\xEF\xBB\xBF 1.5 extra words\r\n\n   \n7", "C", 0, "1.5\t4\n\n\n7\t15\n",
         ""},
        {"bad lines", "1\nabc\n2\n1e999\n", "C", 2, "1\t3\nabc\t\n2\t5\n1e999\t\n",
         "NAME:2: abc: 'abc' is not a valid floating point value\nNAME:4: 1e999: Floating point overflow\n"},
        // A reading that is a number whose Y is beyond the range.
        {"Y beyond the range", "1e308\n1\n", "C", 4, "1e308\t\n1\t3\n",
         "NAME:1: 1e308: Floating point overflow\n"},
        // Both decimal marks are read in a comma locale; Y keeps its ".".
        {"comma locale", "0,5\n0.25\n", "ru_RU.UTF-8", 0, "0,5\t2\n0.25\t1.5\n", ""},
        // A lone CR ends a line as LF and CR LF do: no reading is dropped (55 once was).
        {"CR line ends", "50\r55\r", "C", 0, "50\t101\n55\t111\n", ""},
        {"mixed line ends", "1\r\r\n2\n\r3", "C", 0, "1\t3\n\n2\t5\n\n3\t7\n", ""},
        // A NUL is part of its reading, which is then no number (it was read as 5); a cut exponent is no
        // number either (it was read as 1 and 1.5).
        {"NUL and cut exponents",
         std::string("5\0"
                     "7\n1e\n1.5e-\n2\n",
                     15),
         "C", 2,
         std::string("5\0"
                     "7\t\n1e\t\n1.5e-\t\n2\t5\n",
                     20),
         "NAME:1: 5<NUL>7: '5<NUL>7' is not a valid floating point value\nNAME:2: 1e: '1e' is not a valid "
         "floating point value\nNAME:3: 1.5e-: '1.5e-' is not a valid floating point value\n"},
        // A decimal mark without a digit is no number (it was read as 0).
        {"decimal marks alone", ".\n-.\n.e5\n2\n", "C", 2, ".\t\n-.\t\n.e5\t\n2\t5\n",
         "NAME:1: .: '.' is not a valid floating point value\nNAME:2: -.: '-.' is not a valid floating point "
         "value\nNAME:3: .e5: '.e5' is not a valid floating point value\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string readings = Write("readings.txt", row.readings);
        const std::string data = Quote(Write("data.txt", row.data));
        const TRun run =
            Run(std::string("--kind ") + row.kind + " --apply " + Quote(readings) + " " + data, row.locale);
        EXPECT_EQ(run.status, row.status);
        EXPECT_EQ(run.out, row.out);
        std::string err = row.err;
        for (std::size_t at = err.find("NAME"); at != std::string::npos; at = err.find("NAME", at)) {
            err.replace(at, 4, readings);
        }
        EXPECT_EQ(run.err, err);
    }
    // Readings from standard input; a fit that fails gives no Y and its own status; a missing file of
    // readings is named.
    const std::string data = Quote(Write("line.txt", line));
    TRun run = Run("--kind linear --apply - " + data, "C", "4\n");
    EXPECT_EQ(run.out, "4\t9\n");
    run = Run("--kind cubic --apply " + Quote(Write("r.txt", "1\n")) + " " + data);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "Мало данных\n");
    // Readings are streamed, so there is no count limit; a line over 1 MiB, and so endless input without
    // line breaks, ends with status 6 after the lines before it.
    run = Shell("(printf \"1\\n\"; cat /dev/zero) | \"$FIT\" --kind linear --apply - " + data);
    EXPECT_EQ(run.status, 6);
    EXPECT_EQ(run.out, "1\t3\n");
    EXPECT_EQ(run.err, "quorvel-fit: standard input: a line is longer than 1048576 bytes (1 MiB)\n");
    const std::string missing = ::testing::TempDir() + "no/such/readings.txt";
    run = Run("--apply " + Quote(missing) + " " + data);
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.err, missing + ": Не могу открыть файл.\n");
}

// A fault after the solve: the texts the window shows before its standard box, then the error, status 4.
TEST_F(FitCommand, OverflowAfterTheSolve) {
    const struct {
        const char* args;
        const char* data;
        const char* out;
    } rows[] = {
        // A deviation (2.3e308) is beyond the range: the statistics are not reached.
        {"--kind linear", "1.7e308 0\n-1.7e308 1\n1.7e308 2\n",
         "a0 = 5.6666667e+307\na1 = 0\nY = 5.6666667e+307\n"},
        // Only the curve's single-precision ends overflow.
        {"--kind linear", "1e39 1e39\n2e39 2e39\n",
         "a0 = 0\na1 = 1.0000000\nY = 1.0000000 * X \nМаксимальная ошибка 0\nСреднекв. отклонение 0\n"},
        // The evaluation at X ends the recompute.
        {"--kind quadratic --at 1e200", "1 1\n4 2\n9 3\n",
         "a0 = 0\na1 = 0\na2 = 1.0000000\nY = 1.0000000 * X^2 \nМаксимальная ошибка 0\nСреднекв. отклонение "
         "0\n"},
    };
    for (const auto& row : rows) {
        const TRun run = Run(std::string(row.args) + " " + Quote(Write("overflow.txt", row.data)));
        EXPECT_EQ(run.status, 4) << row.data;
        EXPECT_EQ(run.out, row.out) << row.data;
        EXPECT_EQ(run.err, "Floating point overflow\n") << row.data;
    }
    // The squares of the deviations are beyond the range, the statistics are not: they are the exact fit's
    // (the maximum error float(F(1e200)·2/3), sigma = √(S/2) = u(a1)); the covariance is beyond it. The
    // slope is 0, so R² = 0 (adjusted 1 − 2/1), and the quadratic through the three points has R² = 1.
    const TRun json = Run("--json --kind linear " + Quote(Write("json.txt", "0 0\n1e200 1\n0 2\n")));
    EXPECT_EQ(json.status, 4);
    EXPECT_EQ(
        json.out,
        "{\"kind\":\"linear\",\"points\":3,\"coefficients\":[3.3333333333333334e+199,0,0,0],"
        "\"max_error\":6.666666666666667e+199,\"sigma\":5.773502691896257e+199,\"dof\":1,"
        "\"residual_sd\":8.16496580927726e+199,"
        "\"covariance\":[[null,null],[null,null]],"
        "\"standard_uncertainties\":[7.4535599249992985e+199,5.773502691896257e+199],"
        // k for one degree of freedom is cot(π/40).
        "\"coverage_factor\":12.706204736174705,"
        "\"expanded_uncertainties\":[9.470645842038807e+200,7.335930724808963e+200],"
        "\"formula\":\"Y = 3.3333333e+199\",\"method\":\"ordinary\",\"r_squared\":0,"
        "\"adjusted_r_squared\":-1,\"comparison\":[{\"kind\":\"linear\",\"dof\":1,"
        "\"residual_sd\":8.16496580927726e+199,\"top_coefficient\":0,"
        "\"top_expanded_uncertainty\":7.335930724808963e+200,\"r_squared\":0,\"adjusted_r_squared\":-1},"
        "{\"kind\":\"quadratic\",\"dof\":0,\"residual_sd\":null,\"top_coefficient\":-1e+200,"
        "\"top_expanded_uncertainty\":null,\"r_squared\":1,\"adjusted_r_squared\":null}],"
        "\"recommended_kind\":\"linear\",\"error\":\"Floating point overflow\"}\n");
}

// Output that does not arrive is a failure of its own, reported on stderr.
TEST_F(FitCommand, WriteErrors) {
    const std::string data = Write("data.txt", "2 1\n20 10\n");
    const std::string readings = Write("readings.txt", "1\n");
    for (const std::string& args :
         std::vector<std::string>{"--kind linear ", "--kind linear --json ", "--help ",
                                  "--kind linear --apply " + Quote(readings) + " "}) {
        const TRun run = Run(args + Quote(data), "C", "", "/dev/full");
        EXPECT_EQ(run.status, 5) << args;
        EXPECT_EQ(run.err, "quorvel-fit: cannot write the output: No space left on device\n") << args;
    }
    const std::string chart = ::testing::TempDir() + "no/such/folder/chart.png";
    const TRun run = Run("--kind linear --chart " + Quote(chart) + " " + Quote(data));
    EXPECT_EQ(run.status, 5);
    EXPECT_EQ(run.err.rfind("quorvel-fit: Cannot write chart file: " + chart + " (", 0), 0u) << run.err;
    EXPECT_NE(run.out.find("a1 = 2.0000000\n"), std::string::npos);

    // A write that fails after the open (here the file size limit, as a full disk would): status 5, an
    // old file as it was, no new or temporary file. A buffered chart write once lost that error and put
    // a cut picture in place with status 0.
    const std::string folder = Prefix() + "limited";
    for (const char* name : {"old.png", "new.png", "old.svg"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(Shell("rm -rf " + Quote(folder) + " && mkdir " + Quote(folder)).status, 0);
        const std::string target = folder + "/" + name;
        const bool old = std::string(name).substr(0, 3) == "old";
        if (old) {
            std::ofstream(target, std::ios::binary) << "old picture";
        }
        const TRun limited =
            Shell("trap \"\" XFSZ; ulimit -f 4; \"$FIT\" --kind linear --size 578x416 --chart " +
                  Quote(target) + " " + Quote(data));
        EXPECT_EQ(limited.status, 5);
        EXPECT_EQ(limited.err.rfind("quorvel-fit: Cannot write chart file: " + target + " (", 0), 0u)
            << limited.err;
        EXPECT_EQ(Shell("ls -A " + Quote(folder)).out, old ? std::string(name) + "\n" : "");
        if (old) {
            EXPECT_EQ(ReadFile(target), "old picture");
        }
    }

    // A special file behind a link is never replaced by the save's rename. A pipe of the test's own
    // stands for a device: an unmended program run by root would have replaced /dev/null itself.
    const std::string fifo = Prefix() + "fifo";
    std::remove(fifo.c_str());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        const char* option;
        const char* link;
        const char* message;
    } special[] = {
        {"--chart", "link.png", "quorvel-fit: Cannot write chart file: LINK (not a regular file)\n"},
        {"--report", "link.pdf", "quorvel-fit: Не могу записать файл LINK: это не обычный файл\n"},
    };
    for (const auto& row : special) {
        SCOPED_TRACE(row.option);
        const std::string link = Prefix() + row.link;
        std::remove(link.c_str());
        ASSERT_EQ(symlink(fifo.c_str(), link.c_str()), 0);
        const TRun refused =
            Run("--kind linear " + std::string(row.option) + " " + Quote(link) + " " + Quote(data));
        EXPECT_EQ(refused.status, 5);
        std::string message = row.message;
        message.replace(message.find("LINK"), 4, link);
        EXPECT_EQ(refused.err, message);
        struct stat info = {};
        ASSERT_EQ(lstat(link.c_str(), &info), 0);
        EXPECT_TRUE(S_ISLNK(info.st_mode));
        ASSERT_EQ(lstat(fifo.c_str(), &info), 0);
        EXPECT_TRUE(S_ISFIFO(info.st_mode));
        std::remove(link.c_str());
    }
    std::remove(fifo.c_str());
}

TEST_F(FitCommand, LongLinesAreOneRowEach) {
    // Y = 2X + 1 with twenty further columns, 164 characters a line: read in pieces of 126 characters,
    // the tails once made five more points and the fit "Y = 0.0043358 * X +6.9538575", exit status 0.
    std::string text;
    for (int x = 1; x <= 5; ++x) {
        text += std::to_string(2 * x + 1) + " " + std::to_string(x);
        for (int i = 0; i < 20; ++i) {
            text += " 123.456";
        }
        text += "\n";
    }
    const TRun run = Run("--json --kind linear " + Quote(Write("wide.txt", text)));
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("\"points\":5,\"coefficients\":[1,2,0,0]"), std::string::npos) << run.out;
}

// What the program is given to read: special files, a byte-order mark, endless input.
TEST_F(FitCommand, InputsItRefusesAndInputsItTakes) {
    const std::string fifo = Prefix() + "fifo";
    std::remove(fifo.c_str());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string bom = Write("bom.txt",
                                  "\xEF\xBB\xBF"
                                  "2 1\n20 10\n");
    const std::string tooMany = std::string(quorvel::kTooManyLinesText) + "\n";
    const std::string tooLong = "quorvel-fit: a line is longer than 1048576 bytes (1 MiB)\n";
    const std::string noLineEnd = "standard input: no line ends in the first 65536 bytes\n";
    const auto blanks = [](int n) {
        return "head -c " + std::to_string(n) + " /dev/zero | tr \"\\0\" \" \"";
    };
    const std::string longFile = Prefix() + "long.txt";
    const std::string bigFile = Prefix() + "big.txt";
    const struct {
        std::string shell;  // $FIT is the program
        int status;
        std::string err;
    } cases[] = {
        // A named pipe once waited for a writer; the timeout ends such a wait.
        {"timeout 20 \"$FIT\" " + fifo, 3, "Не могу открыть файл.\n"},
        {"\"$FIT\" /dev/zero", 3, "Не могу открыть файл.\n"},
        {"printf \"2 1\\n20 10\\n\" | \"$FIT\" --kind linear -", 0, ""},  // standard input may be a pipe
        {"\"$FIT\" --kind linear " + bom, 0, ""},
        // Endless input once grew until the memory ran out.
        {"yes 1 2 | \"$FIT\" -", 6, tooMany},
        // Endless input without line breaks once ran forever (NULs) or filled the memory; a line of
        // 2^20 bytes is still read, one byte more is refused, in a pipe's pieces and in a file alike.
        {"\"$FIT\" - < /dev/zero", 6, tooLong},
        {"yes | tr -d \"\\n\" | \"$FIT\" -", 6, tooLong},
        {"(" + blanks(1 << 20) + "; printf \"\\n2 1\\n20 10\\n\") | \"$FIT\" --kind linear -", 0, ""},
        {"(printf \"2 1\\n20 10\\n\"; " + blanks((1 << 20) + 1) + ") | \"$FIT\" --kind linear -", 6, tooLong},
        {"(printf \"2 1\\n20 10\\n\"; " + blanks((1 << 20) + 1) + ") > " + longFile + " && \"$FIT\" " +
             longFile,
         6, tooLong},
        // Files from 4 MiB on have their points read in two halves at once; whatever is wrong is told as
        // for a small file, and the line limit holds there too.
        {"(printf \"\\357\\273\\277\"; yes \"2 1\r\" | head -n 400000; yes \"20 10\r\" | head -n 400000) > " +
             bigFile + " && \"$FIT\" --kind linear " + bigFile,
         0, ""},
        {"(yes \"2 1\" | head -n 1100000; printf \"abc 3\\n\") > " + bigFile + " && \"$FIT\" " + bigFile, 2,
         "'abc' is not a valid floating point value\n"},
        {"(yes \"2 1\" | head -n 1100000; " + blanks((1 << 20) + 1) + ") > " + bigFile + " && \"$FIT\" " +
             bigFile,
         6, tooLong},
        {"yes \"1 2\" | head -n 10000001 > " + bigFile + " && \"$FIT\" " + bigFile, 6, tooMany},
        // A CSV table by the same limits: only regular files, endless input ends.
        {"ln -sf " + fifo + " " + fifo + ".csv && timeout 20 \"$FIT\" " + fifo + ".csv", 3,
         "Не могу открыть файл.\n"},
        {"printf \"2;1\\r\\n20;10\\r\\n\" | \"$FIT\" --csv --kind linear -", 0, ""},
        {"yes \"1;2\" | \"$FIT\" --csv -", 6, tooMany},
        {"\"$FIT\" --csv - < /dev/zero", 2, noLineEnd},
        {"(printf \"\\\"\"; yes) | \"$FIT\" --csv -", 2, noLineEnd},  // a quote never closed
        {"(printf \"1;2\\n3;4\\n\"; " + blanks((1 << 20) + 1) + ") | \"$FIT\" --csv -", 6, tooLong},
        {"\"$FIT\" --csv /dev/null", 3, "Не могу открыть файл.\n"},
        {"printf \"\" | \"$FIT\" --csv -", 1, "Мало данных\n"},
#if !defined(__SANITIZE_ADDRESS__)
        // Out of memory: reported with its status, never an abort.
        {"yes 1 2 | (ulimit -v 100000; \"$FIT\" -)", 6, "quorvel-fit: out of memory\n"},
#endif
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shell);
        const TRun run = Shell(c.shell);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.err, c.err);
        if (c.status == 0) {
            EXPECT_EQ(run.out.substr(0, 7), "a0 = 0\n");
        }
    }
    std::remove(fifo.c_str());
    std::remove((fifo + ".csv").c_str());
    std::remove(bigFile.c_str());
}

// A CSV table as spreadsheets and loggers write it fits as the same numbers in a data file, to the bit
// (the JSON's numbers are shortest round-trip texts), whatever the locale.
TEST_F(FitCommand, CsvTablesFitAsTheirDataFiles) {
    const std::string plain = "0 0.012\n25.5 10.3\n50 20.61\n75 30.9\n100 41.3\n";
    const struct {
        const char* name;
        std::string csv;
        std::string args;
    } cases[] = {
        {"semicolon, decimal comma, quoted header, CR LF, mark",
         "\xEF\xBB\xBF\"Давление; кПа\";\"Показания, "
         "мВ\"\r\n0;0,012\r\n25,5;10,3\r\n50;20,61\r\n75;30,9\r\n100;"
         "41,3\r\n",
         ""},
        {"row numbers, empty trailing fields",
         "N,Y,X,,\n1,0,0.012,,\n2,25.5,10.3,,\n3,50,20.61,,\n4,75,30.9,,\n5,"
         "100,41.3,,\n",
         "--columns Y,X"},
        {"X first, columns by number",
         "\"X, мВ\"\t\"Y, кПа\"\n0,012\t0\n10,3\t25,5\n20,61\t50\n30,9\t75\n41,3\t100\n", "--columns 2,1"},
        {"a logger's lines, then the table",
         "# ДД-1\n# 2026-12-08\nt;Y;X\n12:00;0;0,012\n12:01;25,5;10,3\n12:02;"
         "50;20,61\n12:03;75;30,9\n12:04;100;41,3\n",
         ""},
    };
    for (const char* locale : {"C", "ru_RU.UTF-8"}) {
        const TRun expected =
            Run("--json --kind quadratic --at 50 " + Quote(Write("plain.txt", plain)), locale);
        ASSERT_EQ(expected.status, 0) << expected.err;
        for (const auto& c : cases) {
            const TRun run =
                Run("--json --kind quadratic --at 50 " + c.args + " " + Quote(Write("t.csv", c.csv)), locale);
            EXPECT_EQ(run.status, 0) << c.name << ": " << run.err;
            EXPECT_EQ(run.out, expected.out) << c.name << " under " << locale;
        }
    }
    // Standard input with --csv, the separator and decimal character given.
    const TRun expected = Run("--json --kind quadratic --at 50 " + Quote(Write("plain.txt", plain)));
    const TRun given = Run("--json --kind quadratic --at 50 --csv --separator comma --decimal point -", "C",
                           "0,0.012\n25.5,10.3\n50,20.61\n75,30.9\n100,41.3\n");
    EXPECT_EQ(given.out, expected.out);
}

// What is wrong in a CSV table is named with its file, line and column, and nothing is fitted.
TEST_F(FitCommand, CsvFaultsNameTheLineAndColumn) {
    const struct {
        std::string csv;
        std::string args;
        std::string err;  // after the file's name
    } cases[] = {
        {"Y;X\n1;2\n3;4\n5;abc\n", "",
         ":4: column 2 (X): 'abc' is not a number with the decimal character ','"},
        {"Y,X\n1,2\n3.5,4\n5,\"6,5\"\n", "",
         ":4: column 2 (X): '6,5' is not a number with the decimal character '.'"},
        {"1;2\n3;4\nИтого;7\n", "",
         ":3: column 1 (Y): 'Итого' is not a number with the decimal character ','"},
        {"\"Y\nкПа\",X\n1,2\n3,1e999\n", "", ":4: column 2 (X): '1e999' is beyond the number range"},
        {"1,2\n3,\"4\n5,6\n", "", ":2: column 2: the quote is not closed before the end of the file"},
        {"1,2\n\"3\"4,5\n", "", ":2: column 1: text after the closing quote"},
        {"Y;X\n1;2\n", "--columns Y,T", ": no column 'T' in the header"},
        {"a;b\nc;d\ne;f\n", "", ": none of the first 3 lines has numbers in the columns of Y and X"},
        {"1;2;0,1\n3;4;-0,1\n", "--columns 1,2,3", ":2: -0,1: u(Y) must be greater than 0"},
    };
    for (const auto& c : cases) {
        const std::string file = Write("bad.csv", c.csv);
        const TRun run = Run("--kind linear " + c.args + " " + Quote(file));
        EXPECT_EQ(run.status, 2) << c.csv;
        EXPECT_EQ(run.err, file + c.err + "\n") << c.csv;
        EXPECT_EQ(run.out, "") << c.csv;
    }
}

TEST_F(FitCommand, CommaDecimalLocale) {
    const char* previous = std::setlocale(LC_ALL, nullptr);
    const std::string saved = previous != nullptr ? previous : "C";
    const bool available = std::setlocale(LC_ALL, "ru_RU.UTF-8") != nullptr;
    std::setlocale(LC_ALL, saved.c_str());
    if (!available) {
        GTEST_SKIP() << "the ru_RU.UTF-8 locale is not installed";
    }
    const std::string file = Write("comma.txt", "2,5 1\n4.5 2\n6,5 3\n");
    TRun run = Run("--kind linear --at 0,5 " + Quote(file), "ru_RU.UTF-8");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "a0 = 0,5000000\na1 = 2,0000000\nY = 2,0000000 * X  +0,5000000\nМаксимальная ошибка 0\n"
              "Среднекв. отклонение 0\nY=1,5000000\n");
    // JSON numbers never depend on the locale.
    run = Run("--json --kind linear " + Quote(file), "ru_RU.UTF-8");
    EXPECT_NE(run.out.find("\"coefficients\":[0.5,2,0,0]"), std::string::npos) << run.out;
    // The same file in a point locale: the comma is not a decimal mark there.
    run = Run("--kind linear " + Quote(file), "C");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "'2,5' is not a valid floating point value\n");
}

// The chart file is written only on a successful fit, at the asked size, and its failures have their
// own exit status; the plain output is the same with or without it.
TEST_F(FitCommand, ChartFile) {
    const std::string data = Write("chart.txt", "1 1\n2 2\n4 3\n8 4\n9 5\n");
    const std::string png = Prefix() + "chart.png";
    const std::string svg = Prefix() + "chart.svg";
    std::remove(png.c_str());
    std::remove(svg.c_str());

    const TRun plain = Run("--kind linear " + Quote(data));
    const TRun withPng = Run("--kind linear --at 2 --chart " + Quote(png) + " --size 400x300 " + Quote(data));
    ASSERT_EQ(withPng.status, 0) << withPng.err;
    EXPECT_EQ(withPng.out.substr(0, plain.out.size()), plain.out);
    const std::string pngBytes = ReadFile(png);
    ASSERT_GT(pngBytes.size(), 24u);
    EXPECT_EQ(pngBytes.substr(1, 3), "PNG");
    // Width and height stand big-endian in the IHDR chunk.
    const auto be32 = [&](std::size_t at) {
        return (static_cast<unsigned char>(pngBytes[at]) << 24) |
               (static_cast<unsigned char>(pngBytes[at + 1]) << 16) |
               (static_cast<unsigned char>(pngBytes[at + 2]) << 8) |
               static_cast<unsigned char>(pngBytes[at + 3]);
    };
    EXPECT_EQ(be32(16), 400u);
    EXPECT_EQ(be32(20), 300u);

    ASSERT_EQ(Run("--chart " + Quote(svg) + " " + Quote(data)).status, 0);
    EXPECT_NE(ReadFile(svg).find("<svg"), std::string::npos);

    EXPECT_EQ(Run("--chart " + Quote(::testing::TempDir() + "x.bmp") + " " + Quote(data)).status, 64);
    // --size without --chart is refused whatever its value, the default size included.
    for (const char* size : {"10x10", "289x208", "--size=289x208"}) {
        const std::string option = size[0] == '-' ? size : std::string("--size ") + size;
        const TRun alone = Run(option + " " + Quote(data));
        EXPECT_EQ(alone.status, 64) << size;
        EXPECT_EQ(alone.err.rfind("quorvel-fit: --size goes with --chart\n", 0), 0u) << alone.err;
    }
    EXPECT_EQ(Run("--chart " + Quote(png) + " --size 0x10 " + Quote(data)).status, 64);

    // Too few points: no chart is written.
    const std::string few = Write("few.txt", "1 1\n");
    const std::string none = Prefix() + "none.png";
    std::remove(none.c_str());
    EXPECT_EQ(Run("--chart " + Quote(none) + " " + Quote(few)).status, 1);
    EXPECT_TRUE(ReadFile(none).empty());
}

// The plain fit loads no Qt; a chart is drawn by the program beside it, and without that program the
// command says so with the internal status.
TEST_F(FitCommand, ChartsAreDrawnByTheProgramBesideIt) {
    EXPECT_EQ(Shell("ldd \"$FIT\" | grep -c Qt6").out, "0\n");
    const std::string alone = Prefix() + "alone";
    const std::string data = Write("data.txt", "2 1\n20 10\n");
    const TRun run = Shell("rm -rf " + alone + " && mkdir " + alone + " && cp \"$FIT\" " + alone + " && " +
                           alone + "/quorvel-fit --kind linear --chart " + alone + "/c.png " + data);
    EXPECT_EQ(run.status, 70);
    EXPECT_EQ(run.err, "quorvel-fit: cannot draw the chart: quorvel-fit-chart is not installed\n");
    EXPECT_EQ(run.out, "");
}

}  // namespace

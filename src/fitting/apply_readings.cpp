#include "fitting/apply_readings.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

#include "fitting/calibration_fit.h"
#include "fitting/fit_texts.h"
#include "fitting/least_squares.h"
#include "fitting/point_extraction.h"
#include "runtime/exceptions.h"

namespace quorvel {

namespace {

// Output gathered per write.
constexpr std::size_t kChunk = std::size_t{1} << 20;

class TReadingsWriter {
public:
    TReadingsWriter(const TFitCoefficients& store, std::string_view name, std::FILE* out, std::FILE* err,
                    const TReadingUncertainty* uncertainty)
        : store_(store), name_(name), out_(out), err_(err), uncertainty_(uncertainty) {
        text_.reserve(kChunk + 1024);
    }

    // The first word of one line of the readings (and the second, its u(X), where uncertainties are
    // asked for), its number counted from 1.
    void Line(std::string_view word, std::string_view uxWord, long number, TAppliedReadings& result) {
        if (!word.empty()) {
            text_.append(word);
            text_ += '\t';
            bool read = false;
            std::string_view refused = word;
            try {
                const double x = ParseUserNumber(word);
                if (uncertainty_ != nullptr) {
                    refused = uxWord;
                    const double ux = ReadingUncertainty(uxWord, x);
                    refused = word;
                    read = true;
                    const TCalibrationValue y = uncertainty_->fit->Evaluate(x, ux);
                    AppendShortest(text_, y.value);
                    text_ += '\t';
                    AppendShortest(text_, y.u);
                } else {
                    read = true;
                    AppendShortest(text_, EvalPolynomial(x, store_));
                }
                ++result.converted;
            } catch (const Exception& e) {
                word = refused;
                (read ? result.overflow : result.badNumber) = true;
                if (result.refused++ == 0) {
                    result.firstRefusedLine = number;
                    result.firstRefusedText = word;
                }
                if (err_ != nullptr) {
                    Message(word, number, e.Message());
                }
            }
        }
        text_ += '\n';
    }

    bool Full() const { return text_.size() >= kChunk; }

    // Writes what was gathered; false, with errno set, when the output did not take it.
    bool Flush() {
        if (!messages_.empty()) {
            std::fwrite(messages_.data(), 1, messages_.size(), err_);
            messages_.clear();
        }
        errno = 0;
        const bool written = std::fwrite(text_.data(), 1, text_.size(), out_) == text_.size();
        text_.clear();
        return std::fflush(out_) == 0 && written && std::ferror(out_) == 0;
    }

private:
    // The reading's u(X): its word, else the rule at x, else 0.
    double ReadingUncertainty(std::string_view word, double x) const {
        if (word.empty()) {
            return uncertainty_->uxRule ? uncertainty_->uxRule->At(x) : 0;
        }
        const double ux = ParseUserNumber(word);
        if (!(ux >= 0)) {
            throw EConvertError("u(X) must not be negative");
        }
        return ux;
    }

    void Message(std::string_view word, long number, const std::string& why) {
        std::string message(name_);
        message += ':' + std::to_string(number) + ": ";
        message.append(word);
        message += ": " + why + '\n';
        // A NUL in the text would vanish on a terminal and hide what was refused.
        for (const char c : message) {
            if (c == '\0') {
                messages_ += "<NUL>";
            } else {
                messages_ += c;
            }
        }
    }

    const TFitCoefficients& store_;
    std::string_view name_;
    std::FILE* out_;
    std::FILE* err_;
    const TReadingUncertainty* uncertainty_;
    std::string text_;
    std::string messages_;
};

// Writes a line for each line of the readings, from its first word (and its second, u(X), when Words is 2).
template <int Words>
class TReadingsSink {
public:
    static constexpr int kWords = Words;
    struct TWords {
        std::string_view x;
        std::string_view ux;
    };
    TReadingsSink(TReadingsWriter& writer, TAppliedReadings& result) : writer_(writer), result_(result) {}
    TWords Read(TLineCursor<kReadingLines>& line) {
        TWords words{line.Next(), {}};
        if (Words > 1 && !words.x.empty()) {
            words.ux = line.Next();
        }
        return words;
    }
    bool Take(const TWords& words) {
        writer_.Line(words.x, words.ux, ++number_, result_);
        if (writer_.Full() && !writer_.Flush()) {
            result_.outcome = TAppliedReadings::WriteFailed;
            return false;
        }
        return true;
    }

private:
    TReadingsWriter& writer_;
    TAppliedReadings& result_;
    long number_ = 0;
};

template <int Words>
void ApplyLines(const TByteSource& source, TReadingsWriter& writer, TAppliedReadings& result) {
    TReadingsSink<Words> sink(writer, result);
    TLineSplitter<kReadingLines, TReadingsSink<Words>> lines(sink,
                                                             TLineLimits{SIZE_MAX, kLongestCommandLine});
    switch (FeedInOrder(source, lines)) {
        case TPiecesEnd::ReadFailed:
            result.outcome = TAppliedReadings::ReadFailed;
            break;
        case TPiecesEnd::Refused:
            if (lines.Refusal() != TLinesRefusal::Stopped) {  // Stopped: the output failed
                result.outcome = TAppliedReadings::LineTooLong;
            }
            break;
        default:
            break;
    }
}

}  // namespace

TAppliedReadings ApplyToReadings(const TByteSource& source, const TFitCoefficients& store,
                                 std::string_view name, std::FILE* out, std::FILE* err,
                                 const TReadingUncertainty* uncertainty) {
    TAppliedReadings result;
    TReadingsWriter writer(store, name, out, err, uncertainty);
    if (uncertainty != nullptr) {
        ApplyLines<2>(source, writer, result);
    } else {
        ApplyLines<1>(source, writer, result);
    }
    if (result.outcome == TAppliedReadings::WriteFailed) {
        return result;
    }
    if (!writer.Flush()) {
        result.outcome = TAppliedReadings::WriteFailed;
    }
    return result;
}

}  // namespace quorvel

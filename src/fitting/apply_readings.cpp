#include "fitting/apply_readings.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include "fitting/fit_texts.h"
#include "fitting/least_squares.h"
#include "fitting/point_extraction.h"
#include "runtime/exceptions.h"

namespace quorvel {

namespace {

// Bytes asked of the source per read, and output gathered per write.
constexpr std::size_t kChunk = std::size_t{1} << 20;

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

// The first word of a line (which holds no line end).
std::string_view FirstWord(std::string_view line) {
    std::size_t begin = 0;
    while (begin < line.size() && IsBlank(line[begin])) {
        ++begin;
    }
    std::size_t end = begin;
    while (end < line.size() && !IsBlank(line[end])) {
        ++end;
    }
    return line.substr(begin, end - begin);
}

class TReadingsWriter {
public:
    TReadingsWriter(const TFitCoefficients& store, std::string_view name, std::FILE* out, std::FILE* err)
        : store_(store), name_(name), out_(out), err_(err) {
        text_.reserve(kChunk + 1024);
    }

    // One line of the readings, its number counted from 1.
    void Line(std::string_view line, long number, TAppliedReadings& result) {
        const std::string_view word = FirstWord(line);
        if (!word.empty()) {
            text_.append(word);
            text_ += '\t';
            bool read = false;
            try {
                const double x = ParseUserNumber(word);
                read = true;
                AppendShortest(text_, EvalPolynomial(x, store_));
                ++result.converted;
            } catch (const Exception& e) {
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
    std::string text_;
    std::string messages_;
};

}  // namespace

TAppliedReadings ApplyToReadings(const TByteSource& source, const TFitCoefficients& store,
                                 std::string_view name, std::FILE* out, std::FILE* err) {
    TAppliedReadings result;
    TReadingsWriter writer(store, name, out, err);
    // The bytes of the line begun in an earlier read sit at the buffer's start, the new ones after them.
    const std::size_t capacity = kLongestCommandLine + kChunk + 1;
    const std::unique_ptr<char[]> buffer(new char[capacity]);
    std::size_t held = 0;
    bool atStart = true;   // the byte-order mark may still come
    bool afterCr = false;  // the last line ended at a CR: an LF right after it belongs to it
    bool ended = false;
    long number = 0;
    while (!ended) {
        const std::ptrdiff_t got = source(buffer.get() + held, capacity - held);
        if (got < 0) {
            result.outcome = TAppliedReadings::ReadFailed;
            break;
        }
        ended = got == 0;
        const std::size_t size = held + static_cast<std::size_t>(got);
        std::size_t begin = 0;
        if (atStart) {
            const std::string_view head(buffer.get(), size < 3 ? size : 3);
            const bool mark = std::string_view(kByteOrderMark, head.size()) == head;
            if (mark && head.size() < 3 && !ended) {
                held = size;  // a short read may have cut the mark
                continue;
            }
            begin = mark && head.size() == 3 ? 3 : 0;
            atStart = false;
        }
        const char* const data = buffer.get();
        for (std::size_t p = begin; p < size; ++p) {
            const char c = data[p];
            if (c != '\n' && c != '\r') {
                continue;
            }
            if (c == '\n' && afterCr && p == begin) {
                afterCr = false;
                begin = p + 1;
                continue;
            }
            afterCr = c == '\r';
            if (p - begin > kLongestCommandLine) {
                result.outcome = TAppliedReadings::LineTooLong;
                break;
            }
            writer.Line(std::string_view(data + begin, p - begin), ++number, result);
            begin = p + 1;
            if (writer.Full() && !writer.Flush()) {
                result.outcome = TAppliedReadings::WriteFailed;
                return result;
            }
        }
        if (result.outcome != TAppliedReadings::Done) {
            break;
        }
        if (begin < size) {
            afterCr = false;
        }
        held = size - begin;
        if (held > kLongestCommandLine) {
            result.outcome = TAppliedReadings::LineTooLong;
            break;
        }
        if (ended && held > 0) {
            writer.Line(std::string_view(data + begin, held), ++number, result);  // the last line needs no LF
        }
        std::memmove(buffer.get(), data + begin, held);
    }
    if (!writer.Flush()) {
        result.outcome = TAppliedReadings::WriteFailed;
    }
    return result;
}

}  // namespace quorvel

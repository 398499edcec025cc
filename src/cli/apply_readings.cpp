#include "cli/apply_readings.h"

#include "cli/fit_texts.h"
#include "fitting/data_file_reader.h"
#include "fitting/least_squares.h"
#include "fitting/point_extraction.h"
#include "fitting/two_parts.h"
#include "runtime/exceptions.h"
#include "runtime/large_buffers.h"

namespace quorvel {

namespace {

// Lines from .. to (1-based, to excluded) into `out`, the messages and flags into `part`. The two halves
// read the table at once, so through LineWords, which keeps no state.
void ApplyLines(const TDataFileTable& readings, const TFitCoefficients& store, std::string_view name,
                int from, int to, std::string& out, TAppliedReadings& part) {
    // A line takes at most its word, a tab, the 24 characters of the longest shortest double and a LF.
    std::size_t bound = 0;
    for (int line = from; line < to; ++line) {
        bound += readings.LineWords(line).y.size() + 26;
    }
    ReserveLarge(out, bound);
    for (int line = from; line < to; ++line) {
        const std::string_view text = readings.LineWords(line).y;
        if (text.empty()) {
            out += '\n';
            continue;
        }
        out.append(text);
        out += '\t';
        bool read = false;
        try {
            const double x = ParseUserNumber(text);
            read = true;
            AppendShortest(out, EvalPolynomial(x, store));
        } catch (const Exception& e) {
            (read ? part.overflow : part.badNumber) = true;
            part.messages.append(name);
            part.messages += ':' + std::to_string(line) + ": ";
            part.messages.append(text);
            part.messages += ": " + e.Message() + '\n';
        }
        out += '\n';
    }
}

}  // namespace

TAppliedReadings ApplyToReadings(const TDataFileTable& readings, const TFitCoefficients& store,
                                 std::string_view name) {
    // A large file is applied in two halves at once, each into its own piece of the output, in order.
    TAppliedReadings parts[2];
    InTwoParts(static_cast<std::size_t>(readings.LineCount()),
               [&](std::size_t from, std::size_t to, int index) {
                   ApplyLines(readings, store, name, static_cast<int>(from) + 1, static_cast<int>(to) + 1,
                              parts[0].out[index], parts[index]);
               });
    TAppliedReadings& all = parts[0];
    all.messages += parts[1].messages;
    all.badNumber = all.badNumber || parts[1].badNumber;
    all.overflow = all.overflow || parts[1].overflow;
    return std::move(all);
}

}  // namespace quorvel

#include "cli/apply_readings.h"

#include <exception>

#include "cli/fit_texts.h"
#include "fitting/data_file_reader.h"
#include "fitting/least_squares.h"
#include "fitting/point_extraction.h"
#include "fitting/two_parts.h"
#include "runtime/exceptions.h"

namespace quorvel {

namespace {

// Lines from .. to (1-based, to excluded) into `part`.
void ApplyLines(const TDataFileTable& readings, const TFitCoefficients& store, std::string_view name,
                int from, int to, TAppliedReadings& part) {
    for (int line = from; line < to; ++line) {
        const std::string_view text = readings.CellText(0, line);
        if (text.empty()) {
            part.out += '\n';
            continue;
        }
        part.out.append(text);
        part.out += '\t';
        bool read = false;
        try {
            const double x = ParseUserNumber(text);
            read = true;
            AppendShortest(part.out, EvalPolynomial(x, store));
        } catch (const Exception& e) {
            (read ? part.overflow : part.badNumber) = true;
            part.messages.append(name);
            part.messages += ':' + std::to_string(line) + ": ";
            part.messages.append(text);
            part.messages += ": " + e.Message() + '\n';
        }
        part.out += '\n';
    }
}

}  // namespace

TAppliedReadings ApplyToReadings(const TDataFileTable& readings, const TFitCoefficients& store,
                                 std::string_view name) {
    const int lines = readings.LineCount();
    // A large file is applied in two halves at once; each keeps its lines in order, and the halves are
    // joined in order.
    TAppliedReadings parts[2];
    std::exception_ptr faults[2];
    InTwoParts(static_cast<std::size_t>(lines), [&](std::size_t from, std::size_t to, int index) {
        try {
            TAppliedReadings& part = parts[index];
            part.out.reserve((to - from) * 32);
            ApplyLines(readings, store, name, static_cast<int>(from) + 1, static_cast<int>(to) + 1, part);
        } catch (...) {
            faults[index] = std::current_exception();  // out of memory
        }
    });
    for (const std::exception_ptr& fault : faults) {
        if (fault) {
            std::rethrow_exception(fault);
        }
    }
    TAppliedReadings& all = parts[0];
    all.out += parts[1].out;
    all.messages += parts[1].messages;
    all.badNumber = all.badNumber || parts[1].badNumber;
    all.overflow = all.overflow || parts[1].overflow;
    return std::move(all);
}

}  // namespace quorvel

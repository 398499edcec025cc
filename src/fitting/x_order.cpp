#include "fitting/x_order.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <memory>
#include <numeric>

#include "fitting/two_parts.h"
#include "runtime/large_buffers.h"

namespace quorvel {

namespace {

constexpr std::size_t kRadixThreshold = 2048;
constexpr int kDigitBits = 11;
constexpr int kDigits = 6;  // 66 bits cover the 64-bit key
constexpr std::size_t kBuckets = std::size_t{1} << kDigitBits;

// An unsigned key with the order of the double (finite values; −0 is taken as +0).
std::uint64_t OrderKey(double x) {
    if (x == 0) {
        x = 0;
    }
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(x);
    return (bits >> 63) != 0 ? ~bits : bits | (std::uint64_t{1} << 63);
}

}  // namespace

std::vector<int> StableOrderByX(const TPointTable& points, const TWorkSteps& steps) {
    const std::size_t n = points.size();
    std::vector<int> order;
    ReserveLarge(order, n);
    const bool sorted = std::is_sorted(points.begin(), points.end(),
                                       [](const TDataPoint& a, const TDataPoint& b) { return a.X < b.X; });
    if (sorted || n < kRadixThreshold) {
        order.resize(n);
        std::iota(order.begin(), order.end(), 0);
        if (!sorted) {
            std::stable_sort(order.begin(), order.end(),
                             [&points](int a, int b) { return points[a].X < points[b].X; });
        }
        return order;
    }

    // Least-significant-digit radix sort: every pass is stable, digits shared by all keys are skipped.
    // Each pass goes in pieces with a step after each, and the buffers fill as the first pass goes: ten
    // million points take no long stretch.
    // Two blocks, not one of twice the size: measured, the one block raised the window's peak at 10^7
    // rows by 40 MB.
    const std::unique_ptr<std::uint64_t[]> keyBlock(new std::uint64_t[n]);
    const std::unique_ptr<std::uint64_t[]> keyOutBlock(new std::uint64_t[n]);
    std::uint64_t* keys = keyBlock.get();
    std::uint64_t* keysOut = keyOutBlock.get();
    std::vector<int> orderOut;
    ReserveLarge(orderOut, n);
    std::vector<std::uint32_t> counts(kDigits * kBuckets, 0);
    const auto passSteps = [&steps](int pass) {
        return PartOfSteps(steps, static_cast<double>(pass) / (kDigits + 1),
                           static_cast<double>(pass + 1) / (kDigits + 1));
    };
    const TWorkSteps firstSteps = passSteps(0);
    InPieces(0, n, firstSteps, [&](std::size_t begin, std::size_t end) {
        order.resize(end);
        orderOut.resize(end);
        for (std::size_t i = begin; i < end; ++i) {
            order[i] = static_cast<int>(i);
            const std::uint64_t key = OrderKey(points[i].X);
            keys[i] = key;
            // Written once here, in order, so that its fresh pages come in this pass's pieces: the
            // first placing pass writes all over it.
            keysOut[i] = key;
            for (int d = 0; d < kDigits; ++d) {
                ++counts[static_cast<std::size_t>(d) * kBuckets +
                         ((key >> (d * kDigitBits)) & (kBuckets - 1))];
            }
        }
    });
    for (int d = 0; d < kDigits; ++d) {
        if (steps) {
            steps(static_cast<double>(d + 1) / (kDigits + 1));
        }
        std::uint32_t* count = counts.data() + static_cast<std::size_t>(d) * kBuckets;
        const int shift = d * kDigitBits;
        if (count[(keys[0] >> shift) & (kBuckets - 1)] == n) {
            continue;
        }
        std::uint32_t sum = 0;
        for (std::size_t b = 0; b < kBuckets; ++b) {
            const std::uint32_t c = count[b];
            count[b] = sum;
            sum += c;
        }
        const TWorkSteps pieceSteps = passSteps(d + 1);
        InPieces(0, n, pieceSteps, [&](std::size_t begin, std::size_t end) {
            for (std::size_t i = begin; i < end; ++i) {
                const std::uint32_t at = count[(keys[i] >> shift) & (kBuckets - 1)]++;
                keysOut[at] = keys[i];
                orderOut[at] = order[i];
            }
        });
        std::swap(keys, keysOut);
        order.swap(orderOut);
    }
    return order;
}

}  // namespace quorvel

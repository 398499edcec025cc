#include "fitting/x_order.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <numeric>

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
    order.resize(n);
    std::iota(order.begin(), order.end(), 0);
    const bool sorted = std::is_sorted(points.begin(), points.end(),
                                       [](const TDataPoint& a, const TDataPoint& b) { return a.X < b.X; });
    if (sorted) {
        return order;
    }
    if (n < kRadixThreshold) {
        std::stable_sort(order.begin(), order.end(),
                         [&points](int a, int b) { return points[a].X < points[b].X; });
        return order;
    }

    // Least-significant-digit radix sort: every pass is stable, digits shared by all keys are skipped.
    std::vector<std::uint64_t> keys(n), keysOut(n);
    std::vector<int> orderOut(n);
    std::vector<std::uint32_t> counts(kDigits * kBuckets, 0);
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint64_t key = OrderKey(points[i].X);
        keys[i] = key;
        for (int d = 0; d < kDigits; ++d) {
            ++counts[static_cast<std::size_t>(d) * kBuckets + ((key >> (d * kDigitBits)) & (kBuckets - 1))];
        }
    }
    const auto step = [&steps](int passesDone) {
        if (steps) {
            steps(static_cast<double>(passesDone) / (kDigits + 1));
        }
    };
    step(1);
    for (int d = 0; d < kDigits; ++d) {
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
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint32_t at = count[(keys[i] >> shift) & (kBuckets - 1)]++;
            keysOut[at] = keys[i];
            orderOut[at] = order[i];
        }
        keys.swap(keysOut);
        order.swap(orderOut);
        step(d + 2);
    }
    return order;
}

}  // namespace quorvel

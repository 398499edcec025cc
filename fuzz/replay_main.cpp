// A plain main for a fuzz target, so that every build (gcc, the sanitizer build) runs its checks
// without libFuzzer: each committed seed, then a fixed set of inputs made from the seeds by random
// byte changes and of random bytes, the same on every run.
//   replay_TARGET SEED_DIR MAX_LEN
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

constexpr int kMadeInputs = 20000;

std::vector<std::uint8_t> ReadSeed(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Run(const std::vector<std::uint8_t>& input) {
    // A copy of just the input's size, so that a read past its end is seen by the address sanitizer.
    const auto copy = std::make_unique<std::uint8_t[]>(input.size() + (input.empty() ? 1 : 0));
    std::copy(input.begin(), input.end(), copy.get());
    LLVMFuzzerTestOneInput(copy.get(), input.size());
}

// A seed changed as a fuzzer would: bytes flipped, inserted, removed, or a piece of another seed.
std::vector<std::uint8_t> Mutate(std::vector<std::uint8_t> input,
                                 const std::vector<std::vector<std::uint8_t>>& seeds, std::size_t maxLen,
                                 std::mt19937& rng) {
    const int changes = 1 + static_cast<int>(rng() % 8);
    // Bytes that matter to the parsers above all: digits, signs, separators, blanks and line ends.
    static constexpr char kInteresting[] = "0123456789+-.,eE \t\r\n\xC2\xA0\xE2\x80\xAF\xD9\xAB";
    for (int c = 0; c < changes; ++c) {
        const std::size_t at = input.empty() ? 0 : rng() % (input.size() + 1);
        switch (rng() % 5) {
            case 0:
                if (at < input.size()) {
                    input[at] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
                }
                break;
            case 1:
                input.insert(input.begin() + static_cast<std::ptrdiff_t>(at),
                             static_cast<std::uint8_t>(kInteresting[rng() % (sizeof(kInteresting) - 1)]));
                break;
            case 2:
                if (at < input.size()) {
                    input.erase(input.begin() + static_cast<std::ptrdiff_t>(at));
                }
                break;
            case 3:
                input.insert(input.begin() + static_cast<std::ptrdiff_t>(at),
                             static_cast<std::uint8_t>(rng()));
                break;
            default: {
                const std::vector<std::uint8_t>& other = seeds[rng() % seeds.size()];
                if (!other.empty()) {
                    const std::size_t from = rng() % other.size();
                    const std::size_t length = 1 + rng() % (other.size() - from);
                    input.insert(input.begin() + static_cast<std::ptrdiff_t>(at),
                                 other.begin() + static_cast<std::ptrdiff_t>(from),
                                 other.begin() + static_cast<std::ptrdiff_t>(from + length));
                }
                break;
            }
        }
    }
    if (input.size() > maxLen) {
        input.resize(maxLen);
    }
    return input;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SEED_DIR MAX_LEN\n", argv[0]);
        return 2;
    }
    std::vector<std::filesystem::path> paths;
    for (const auto& entry : std::filesystem::directory_iterator(argv[1])) {
        if (entry.is_regular_file()) {
            paths.push_back(entry.path());
        }
    }
    std::sort(paths.begin(), paths.end());
    std::vector<std::vector<std::uint8_t>> seeds;
    for (const auto& path : paths) {
        seeds.push_back(ReadSeed(path));
    }
    if (seeds.empty()) {
        std::fprintf(stderr, "no seeds in %s\n", argv[1]);
        return 2;
    }
    const auto maxLen = static_cast<std::size_t>(std::strtoul(argv[2], nullptr, 10));
    for (const auto& seed : seeds) {
        Run(seed);
    }
    std::mt19937 rng(20261209);
    Run({});
    for (int k = 0; k < kMadeInputs; ++k) {
        if (k % 10 == 0) {
            std::vector<std::uint8_t> bytes(rng() % (maxLen + 1));
            for (std::uint8_t& b : bytes) {
                b = static_cast<std::uint8_t>(rng());
            }
            Run(bytes);
        } else {
            Run(Mutate(seeds[rng() % seeds.size()], seeds, maxLen, rng));
        }
    }
    std::printf("%zu seeds and %d made inputs passed\n", seeds.size(), kMadeInputs + 1);
    return 0;
}

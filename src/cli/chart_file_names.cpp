// The names and sizes of the files quorvel-fit writes, read without Qt.
#include "cli/chart_output.h"

#include <charconv>

namespace quorvel {

namespace {

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size()) {
        return false;
    }
    const std::string_view tail = text.substr(text.size() - suffix.size());
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        const char c = tail[i] >= 'A' && tail[i] <= 'Z' ? static_cast<char>(tail[i] - 'A' + 'a') : tail[i];
        if (c != suffix[i]) {
            return false;
        }
    }
    return true;
}

bool ParseSide(std::string_view text, int& out) {
    if (text.empty() || text.size() > 6) {
        return false;
    }
    int v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || v < 1 || v > kMaxChartSide) {
        return false;
    }
    out = v;
    return true;
}

}  // namespace

bool ParseChartSize(std::string_view text, int& width, int& height) {
    std::size_t x = text.find_first_of("xX");
    if (x == std::string_view::npos) {
        return false;
    }
    int w = 0;
    int h = 0;
    if (!ParseSide(text.substr(0, x), w) || !ParseSide(text.substr(x + 1), h)) {
        return false;
    }
    width = w;
    height = h;
    return true;
}

bool IsChartFileName(std::string_view path) {
    return IsSvgFileName(path) || EndsWithNoCase(path, ".png");
}

bool IsSvgFileName(std::string_view path) {
    return EndsWithNoCase(path, ".svg");
}

bool IsPdfFileName(std::string_view path) {
    return EndsWithNoCase(path, ".pdf");
}

}  // namespace quorvel

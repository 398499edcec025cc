#pragma once
// quorvel-fit's chart file: the window's chart fed from one recompute and exported as the window's
// picture copy exports it, to PNG or SVG. Only WriteChartFile needs Qt (chart_output.cpp); the names
// and sizes are read without it (chart_file_names.cpp).
#include <string>
#include <string_view>

namespace quorvel {

struct TEvaluation;
struct TRecomputeResult;

// The chart's size on the window, used when no size is given.
inline constexpr int kDefaultChartWidth = 289;
inline constexpr int kDefaultChartHeight = 208;
// Larger charts are refused rather than allocating bitmaps of gigabytes.
inline constexpr int kMaxChartSide = 10000;

// Reads a size text "WxH" (also "WXH"), each side 1 .. kMaxChartSide; false for anything else.
bool ParseChartSize(std::string_view text, int& width, int& height);

// Whether the name ends in ".svg" or ".png" (either case), the two types a chart file can have.
bool IsChartFileName(std::string_view path);
bool IsSvgFileName(std::string_view path);
// Whether the name ends in ".pdf" (either case), as the report's name must.
bool IsPdfFileName(std::string_view path);

// Draws the window's chart at width x height, fed as the window feeds it from the result and the
// evaluated point (when given), into path: SVG or PNG by its extension, the bytes the window's picture
// copy puts on the clipboard. Creates an offscreen Qt application when none exists. The file is
// replaced atomically; throws Exception with a message naming the file when it cannot be written, or
// when the name (its links followed) is something other than a regular file.
void WriteChartFile(const std::string& path, int width, int height, const TRecomputeResult& result,
                    const TEvaluation* evaluated);

}  // namespace quorvel

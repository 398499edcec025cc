#pragma once
// quorvel-fit's chart file: the window's chart fed with one recompute, written as PNG or SVG.
#include <optional>
#include <string>
#include <string_view>

#include "fitting/fit_types.h"
#include "fitting/presentation.h"

namespace quorvel {

// The chart's size on the window, used when no size is given.
inline constexpr int kDefaultChartWidth = 289;
inline constexpr int kDefaultChartHeight = 208;
// Larger charts are refused rather than allocating bitmaps of gigabytes.
inline constexpr int kMaxChartSide = 10000;

// Reads a size text "WxH" (also "WXH"), each side 1 .. kMaxChartSide; false for anything else.
bool ParseChartSize(std::string_view text, int& width, int& height);

// Draws the window's chart (Series1 the measured points in their colours, Series2 the curve, Series3
// the evaluated point in red when given) at width x height and writes it to path: SVG when the name
// ends in ".svg", PNG when it ends in ".png" (either case). Creates an offscreen Qt application when
// none exists. Throws Exception with a message naming the file when the type is unknown, the size is
// out of range or the file cannot be written; a failed write leaves an existing file unchanged.
void RenderChartFile(const std::string& path, int width, int height, const TRecomputeResult& result,
                     const std::optional<TDataPoint>& evaluated = std::nullopt);

}  // namespace quorvel

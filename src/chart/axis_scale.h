#pragma once
// An axis' scale as a value: the mapping of its range onto its pixels, and the label steps along it. It
// needs no chart and no canvas: the painter asks it where value labels go, and a test can ask it directly.
#include <vector>

#include "chart/scale_map.h"

namespace quorvel {

class TAxisScale {
public:
    // increment: the smallest step allowed (0: any); separation: the free room between labels in percent of
    // a label's size (0: labels may touch, and the step is never widened); roundFirst: the first label is a
    // whole multiple of the step.
    TAxisScale(const TScaleMap& map, double increment, int separation, bool roundFirst)
        : map_(map), increment_(increment), separation_(separation), roundFirst_(roundFirst) {}

    const TScaleMap& Map() const { return map_; }

    // The step that leaves at most n labels on the range: the increment, or 1 (1e-12 on a range under 1),
    // widened along 1, 2, 5, 10, ...; at least 1e-12.
    double StepForLabelCount(int n) const;
    // The step for labels of size pixels along the axis, with the separation added to each.
    double StepForLabelSize(int size) const;
    // Where value labels of step go, from the top of the range down; none where the step would give 10 000
    // labels or more, one at the value of an empty range.
    std::vector<double> ValueLabels(double step) const;
    // The highest and the lowest label value when labels are rounded to step: the ends to measure.
    double FirstLabel(double step) const;
    double LastLabel(double step) const;

    // The next step of 1, 2, 5, 10, 20, ... above x; x itself where x is not a positive finite number.
    static double NextNiceStep(double x);

private:
    TScaleMap map_;
    double increment_;
    int separation_;
    bool roundFirst_;
};

}  // namespace quorvel

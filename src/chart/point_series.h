#pragma once
// A series drawn as a marker at every point (the measured points and the evaluated point).
#include "chart/custom_series.h"

namespace quorvel {

class TPointSeries : public TCustomSeries {
public:
    TPointSeries() {
        Pointer().SetVisible(true);
        Marks().SetArrowLength(0);
    }
};

}  // namespace quorvel

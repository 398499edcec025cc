#pragma once
// Which point labels along an axis are drawn: each one only where it keeps clear of the label drawn last,
// by the separation (a share of its own width). With a million points only a few hundred labels fit, so
// the rule also says early, and cheaply, where no label can fit: inside the last label's span whatever
// its width, or where even the narrowest label of a layout would not.
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace quorvel {

class TLabelThinning {
public:
    // separation: the free room each label asks beyond its width, in percent of that width; 0 lets
    // labels touch and overlap, so every one is drawn.
    explicit TLabelThinning(int separation) : separation_(separation) {}

    // The half width a label of `extent` pixels takes at the next place: the first label its own half,
    // later ones with the separation added.
    int HalfWidth(int extent) const {
        if (separation_ == 0 || !hasLast_) {
            return extent / 2;
        }
        return (extent + static_cast<int>(std::trunc(extent * 0.02 * separation_))) / 2;
    }
    // Whether a label of that half width at pixel p may be drawn.
    bool Fits(int p, int half) const { return separation_ == 0 || !hasLast_ || ClearOfLast(p, half); }
    // Whether no label at p can fit, whatever its width: p lies inside the span of the last one.
    bool Covered(int p) const {
        return separation_ > 0 && hasLast_ && p > lastPos_ - lastHalf_ && p < lastPos_ + lastHalf_;
    }
    // Whether no label of the layout `shape` can fit at p: labels of one shape other than 0 differ only
    // in their digits, and even the narrowest of them, measured by `narrowest` the first time the shape
    // comes (-1: cannot tell), would not. False where the rule lets every label fit or shape is 0.
    template <class Narrowest>
    bool ShapeCannotFit(int p, std::uint32_t shape, Narrowest&& narrowest) {
        if (separation_ == 0 || !hasLast_ || shape == 0) {
            return false;
        }
        TShapeWidth& known = Slot(shape);
        if (known.shape != shape) {
            known = TShapeWidth{shape, narrowest()};
        }
        return known.width >= 0 && !ClearOfLast(p, HalfWidth(known.width));
    }
    // A label of that half width was drawn at p.
    void Place(int p, int half) {
        hasLast_ = true;
        lastPos_ = p;
        lastHalf_ = half;
    }
    // The pixel where the span of the label drawn last ends towards growing pixels; points of growing
    // pixels before it are all covered.
    int LastSpanEnd() const { return lastPos_ + lastHalf_; }

private:
    struct TShapeWidth {
        std::uint32_t shape = 0;
        int width = 0;
    };
    static constexpr std::size_t kShapeSlots = 64;

    bool ClearOfLast(int p, int half) const {
        return p < lastPos_ ? lastPos_ - lastHalf_ >= p + half : p - half >= lastPos_ + lastHalf_;
    }
    // The slot of shape in a small open-addressed table (a few dozen shapes come in practice); when the
    // table is full the first slot is measured anew for each further shape.
    TShapeWidth& Slot(std::uint32_t shape) {
        std::size_t slot = (shape * 2654435761u) >> 26;
        for (std::size_t tries = 0; tries < kShapeSlots; ++tries, slot = (slot + 1) % kShapeSlots) {
            if (shapes_[slot].shape == shape || shapes_[slot].shape == 0) {
                return shapes_[slot];
            }
        }
        return shapes_[0];
    }

    int separation_;
    bool hasLast_ = false;
    int lastPos_ = 0;
    int lastHalf_ = 0;
    std::array<TShapeWidth, kShapeSlots> shapes_{};
};

}  // namespace quorvel

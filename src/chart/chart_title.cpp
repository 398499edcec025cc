#include "chart/chart_title.h"

#include <algorithm>

#include "chart/chart_panel.h"

namespace quorvel {

TChartTitle::TChartTitle(TCustomChartPanel* owner, bool isFoot) : owner_(owner), isFoot_(isFoot) {
    font_.Color = clBlue;
    frame_.OnChange = [this] { Changed(); };
}

void TChartTitle::Changed() {
    if (owner_ != nullptr) {
        owner_->Invalidate();
    }
}

void TChartTitle::SetVisible(bool v) {
    if (visible_ != v) {
        visible_ = v;
        Changed();
    }
}

void TChartTitle::SetText(std::vector<std::string> lines) {
    if (text_ != lines) {
        text_ = std::move(lines);
        Changed();
    }
}

void TChartTitle::SetAlignment(TTitleAlignment v) {
    if (alignment_ != v) {
        alignment_ = v;
        Changed();
    }
}

void TChartTitle::SetFont(const TFont& v) {
    if (!(font_ == v)) {
        font_ = v;
        Changed();
    }
}

void TChartTitle::SetAdjustFrame(bool v) {
    if (adjustFrame_ != v) {
        adjustFrame_ = v;
        Changed();
    }
}

void TChartTitle::SetColor(TColor v) {
    if (color_ != v) {
        color_ = v;
        Changed();
    }
}

TRect TChartTitle::Draw(const TChartCanvas& canvas, TRect& plot,
                        const std::vector<std::string>& lines) const {
    canvas.SetFont(font_);
    const int h = canvas.TextHeight("W");
    const int w = canvas.TextWidth("W");
    const int f = frame_.Visible() && frame_.Color() != AutoColor ? frame_.Width() : 0;
    const int n = static_cast<int>(lines.size());
    TRect r;
    r.Left = plot.Left + f;
    r.Right = plot.Right - f;
    if (isFoot_) {
        r.Bottom = plot.Bottom - f;
        r.Top = r.Bottom - n * h;
    } else {
        r.Top = plot.Top + f;
        r.Bottom = r.Top + n * h;
    }
    const TRect inner = r;
    TRect outer{r.Left - f, r.Top - f, r.Right + f, r.Bottom + f};
    const bool filled = color_ != AutoColor;
    if (frame_.Visible() || filled) {
        TRect box = outer;
        if (adjustFrame_) {
            int widest = 0;
            for (const auto& line : lines) {
                widest = std::max(widest, canvas.TextWidth(line));
            }
            const int width = widest + w;
            switch (alignment_) {
                case TTitleAlignment::Left:
                    box.Right = box.Left + width;
                    break;
                case TTitleAlignment::Right:
                    box.Left = box.Right - width;
                    break;
                case TTitleAlignment::Center: {
                    const int mid = (outer.Left + outer.Right) / 2;
                    box.Left = mid - width / 2;
                    box.Right = box.Left + width;
                    break;
                }
            }
        }
        canvas.SetPen(frame_.CanvasPen());
        canvas.SetBrush(TBrush{filled ? color_ : clWhite, filled ? bsSolid : bsClear});
        canvas.Rectangle(box);
    }
    canvas.SetBackMode(bmTransparent);
    canvas.SetBrush(TBrush{clWhite, bsClear});
    canvas.SetTextAlign(taLeft | taTop);
    int y = inner.Top;
    for (const auto& line : lines) {
        const int lw = canvas.TextWidth(line);
        int x = 0;
        switch (alignment_) {
            case TTitleAlignment::Left:
                x = inner.Left + w / 2;
                break;
            case TTitleAlignment::Right:
                x = inner.Right - lw - w / 2;
                break;
            case TTitleAlignment::Center:
                x = (inner.Left + inner.Right) / 2 - lw / 2;
                break;
        }
        if (!line.empty()) {
            canvas.TextOut(x, y, line);
        }
        y += h;
    }
    if (n == 0) {
        return TRect{};
    }
    if (isFoot_) {
        plot.Bottom = inner.Top - f - kTitleGap;
    } else {
        plot.Top = inner.Bottom + f + kTitleGap;
    }
    return outer;
}

}  // namespace quorvel

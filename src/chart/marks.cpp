#include "chart/marks.h"

#include "chart/series.h"

namespace quorvel {

TSeriesMarks::TSeriesMarks(TChartSeries* owner) : owner_(owner) {
    arrow_.OnChange = [this] { Changed(); };
    frame_.OnChange = [this] { Changed(); };
}

void TSeriesMarks::Changed() {
    if (owner_ != nullptr) {
        owner_->RequestRepaint();
    }
}

void TSeriesMarks::SetVisible(bool v) {
    if (visible_ != v) {
        visible_ = v;
        Changed();
    }
}

void TSeriesMarks::SetStyle(TSeriesMarksStyle v) {
    if (style_ != v) {
        style_ = v;
        Changed();
    }
}

void TSeriesMarks::SetArrowLength(int v) {
    if (arrowLength_ != v) {
        arrowLength_ = v;
        Changed();
    }
}

void TSeriesMarks::SetBackColor(TColor v) {
    if (backColor_ != v) {
        backColor_ = v;
        Changed();
    }
}

void TSeriesMarks::SetTransparent(bool v) {
    if (transparent_ != v) {
        transparent_ = v;
        Changed();
    }
}

void TSeriesMarks::SetFont(const TFont& v) {
    if (!(font_ == v)) {
        font_ = v;
        Changed();
    }
}

void TSeriesMarks::SetClip(bool v) {
    if (clip_ != v) {
        clip_ = v;
        Changed();
    }
}

void TSeriesMarks::ClearPositions() {
    positions_.clear();
    positions_.shrink_to_fit();
}

std::vector<std::string> SplitMarkLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    while (true) {
        const auto cr = text.find('\r', start);
        if (cr == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, cr - start));
        start = cr + 1;
        // A line feed after the carriage return belongs to the same break.
        if (start < text.size() && text[start] == '\n') {
            ++start;
        }
    }
    return lines;
}

void TSeriesMarks::DrawMarkBox(const TChartCanvas& canvas, int index, TColor pointColor,
                               TSeriesMarkPosition position, const std::string& text, TColor chartColor) {
    if (index >= 0) {
        const auto i = static_cast<std::size_t>(index);
        if (positions_.size() <= i) {
            positions_.resize(i + 1);
        }
        TSeriesMarkPosition& stored = positions_[i];
        if (stored.Stored && stored.Custom) {
            position = stored;
        } else {
            position.Stored = true;
            position.Custom = false;
            stored = position;
        }
    }
    if (arrow_.Visible()) {
        TPen pen = arrow_.CanvasPen();
        if (pen.Color == pointColor || pen.Color == chartColor) {
            pen.Color = chartColor == clBlack ? clWhite : clBlack;
        }
        canvas.SetPen(pen);
        canvas.SetBrush(TBrush{clWhite, bsClear});
        canvas.Line(position.ArrowFrom.X, position.ArrowFrom.Y, position.ArrowTo.X, position.ArrowTo.Y);
    }
    int textTop = position.LeftTop.Y;
    if (frame_.Visible() || !transparent_) {
        canvas.SetBrush(TBrush{backColor_, transparent_ ? bsClear : bsSolid});
        canvas.SetPen(frame_.CanvasPen());
        canvas.Rectangle(TRect{position.LeftTop.X, position.LeftTop.Y, position.LeftTop.X + position.Width,
                               position.LeftTop.Y + position.Height});
        if (frame_.Visible()) {
            textTop += frame_.Width();
        }
    }
    canvas.SetBrush(TBrush{clWhite, bsClear});
    canvas.SetBackMode(bmTransparent);
    canvas.SetFont(font_);
    canvas.SetTextAlign(taCenter | taTop);
    const int h = canvas.TextHeight("W");
    const int x = position.LeftTop.X + position.Width / 2;
    int y = textTop;
    for (const std::string& line : SplitMarkLines(text)) {
        canvas.TextOut(x, y, line);
        y += h;
    }
    canvas.SetTextAlign(taLeft | taTop);
}

}  // namespace quorvel

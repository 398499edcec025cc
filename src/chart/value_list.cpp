#include "chart/value_list.h"

#include <cmath>
#include <functional>

#include "chart/series.h"
#include "runtime/exceptions.h"

namespace quorvel {

TChartValueList::TChartValueList(TChartSeries* owner, std::string name)
    : owner_(owner), name_(std::move(name)) {}

void TChartValueList::SetMultiplier(double value) {
    if (value != multiplier_) {
        multiplier_ = value;
        MarkStale();
        if (owner_ != nullptr) {
            owner_->RequestRepaint();
        }
    }
}

void TChartValueList::SetOrder(TChartListOrder value) {
    if (value != order_) {
        order_ = value;
        RecheckOrder();
    }
}

void TChartValueList::SetDateTime(bool value) {
    if (value != dateTime_) {
        dateTime_ = value;
        if (owner_ != nullptr) {
            owner_->RequestRepaint();
        }
    }
}

void TChartValueList::CheckIndex(int index, int limit) const {
    if (index < 0 || index >= limit) {
        throw EListError(index);
    }
}

bool TChartValueList::FitsOrderAt(std::size_t index, double value, bool replacing) const {
    if (order_ == loNone) {
        return true;
    }
    if (std::isnan(value)) {
        return false;
    }
    const std::size_t n = values_.size();
    const bool hasPrev = index > 0;
    const std::size_t nextIndex = replacing ? index + 1 : index;
    const bool hasNext = nextIndex < n;
    return (!hasPrev || InOrder(values_[index - 1], value)) &&
           (!hasNext || InOrder(value, values_[nextIndex]));
}

void TChartValueList::RecheckOrder() {
    ordered_ = true;
    if (order_ == loNone) {
        return;
    }
    for (std::size_t i = 0; i < values_.size(); ++i) {
        const double v = values_[i];
        if (std::isnan(v) || (i > 0 && (order_ == loAscending ? values_[i - 1] > v : values_[i - 1] < v))) {
            ordered_ = false;
            return;
        }
    }
}

std::size_t TChartValueList::LeadingGoLast(const double* values, std::size_t n) const {
    if (order_ == loNone || n == 0) {
        return n;
    }
    if (!GoesLast(values[0])) {
        return 0;
    }
    std::size_t k = 1;
    while (k < n && InOrder(values[k - 1], values[k])) {
        ++k;
    }
    return k;
}

void TChartValueList::AppendValues(const double* values, std::size_t n) {
    if (n == 0) {
        return;
    }
    // As AppendValue's check of each value in turn: the first against the list, each next against the one
    // before it.
    if (ordered_ && !FitsOrderAt(values_.size(), values[0], false)) {
        ordered_ = false;
    }
    for (std::size_t k = 1; ordered_ && order_ != loNone && k < n; ++k) {
        ordered_ = InOrder(values[k - 1], values[k]);
    }
    values_.append(values, n);
    MarkStale();
}

int TChartValueList::PlaceValue(double value) {
    MarkStale();
    const std::size_t n = values_.size();
    std::size_t at = n;
    if (order_ != loNone && n > 0) {
        const double last = values_.back();
        const bool append = order_ == loAscending ? last <= value : last >= value;
        if (!append) {
            if (ordered_ && !std::isnan(value)) {
                at = order_ == loAscending ? values_.UpperBound(value, std::less<double>())
                                           : values_.UpperBound(value, std::greater<double>());
            } else {
                // Scan down while the stored value lies on the wrong side of the new one.
                std::size_t i = n;
                while (i > 0 && (order_ == loAscending ? values_[i - 1] > value : values_[i - 1] < value)) {
                    --i;
                }
                at = i;
            }
        }
    }
    if (ordered_ && order_ != loNone && std::isnan(value)) {
        ordered_ = false;
    }
    values_.insert(at, value);
    return static_cast<int>(at);
}

void TChartValueList::InsertValueAt(int index, double value) {
    CheckIndex(index, Count() + 1);
    if (ordered_ && !FitsOrderAt(static_cast<std::size_t>(index), value, false)) {
        ordered_ = false;
    }
    values_.insert(static_cast<std::size_t>(index), value);
    MarkStale();
}

double TChartValueList::ValueAt(int index) const {
    CheckIndex(index, Count());
    return values_[static_cast<std::size_t>(index)] * multiplier_;
}

void TChartValueList::CopyValues(int from, std::size_t count, double* out) const {
    if (count == 0) {
        return;
    }
    CheckIndex(from, Count());
    CheckIndex(from + static_cast<int>(count) - 1, Count());
    const auto start = static_cast<std::size_t>(from);
    values_.ForEachSpan(start, start + count, [&out, this](const double* values, std::size_t n) {
        for (std::size_t k = 0; k < n; ++k) {
            out[k] = values[k] * multiplier_;
        }
        out += n;
    });
}

double TChartValueList::StoredAt(int index) const {
    CheckIndex(index, Count());
    return values_[static_cast<std::size_t>(index)];
}

void TChartValueList::SetValueAt(int index, double value) {
    CheckIndex(index, Count());
    if (ordered_ && !FitsOrderAt(static_cast<std::size_t>(index), value, true)) {
        ordered_ = false;
    }
    values_[static_cast<std::size_t>(index)] = value;
    MarkStale();
}

void TChartValueList::DeleteValueAt(int index) {
    CheckIndex(index, Count());
    values_.erase(static_cast<std::size_t>(index));
    MarkStale();
}

void TChartValueList::RemoveAllValues() {
    values_.clear();
    ordered_ = true;
    MarkStale();
}

int TChartValueList::IndexOfValue(double value) const {
    const int n = Count();
    for (int i = 0; i < n; ++i) {
        if (values_[static_cast<std::size_t>(i)] * multiplier_ == value) {
            return i;
        }
    }
    return -1;
}

void TChartValueList::RefreshStatistics() const {
    const std::size_t n = values_.size();
    if (n == 0) {
        lowest_ = highest_ = sum_ = absSum_ = 0;
    } else {
        const double first = values_[0] * multiplier_;
        lowest_ = highest_ = sum_ = first;
        absSum_ = std::fabs(first);
        for (std::size_t i = 1; i < n; ++i) {
            const double v = values_[i] * multiplier_;
            if (v < lowest_) {
                lowest_ = v;
            } else if (v > highest_) {
                highest_ = v;
            }
            sum_ += v;
            absSum_ += std::fabs(v);
        }
    }
    stale_ = false;
}

double TChartValueList::LowestValue() const {
    if (stale_) {
        RefreshStatistics();
    }
    return lowest_;
}

double TChartValueList::HighestValue() const {
    if (stale_) {
        RefreshStatistics();
    }
    return highest_;
}

double TChartValueList::ValueSum() const {
    if (stale_) {
        RefreshStatistics();
    }
    return sum_;
}

double TChartValueList::AbsoluteSum() const {
    if (stale_) {
        RefreshStatistics();
    }
    return absSum_;
}

}  // namespace quorvel

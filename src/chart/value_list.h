#pragma once
// One list of a series' values (X or Y), kept in the order its Order setting demands, with statistics
// that are recomputed lazily on the first read after a change.
#include <string>

#include "chart/chunked_vector.h"

namespace quorvel {

class TChartSeries;

enum TChartListOrder { loNone = 0, loAscending = 1, loDescending = 2 };

class TChartValueList {
public:
    TChartValueList(TChartSeries* owner, std::string name);

    const std::string& Name() const { return name_; }
    TChartSeries* Owner() const { return owner_; }

    double Multiplier() const { return multiplier_; }
    void SetMultiplier(double value);
    TChartListOrder Order() const { return order_; }
    // Whether ValueAt grows (or stays) from each index to the next.
    bool Ascending() const { return order_ == loAscending && ordered_ && multiplier_ > 0; }
    // Existing values keep their places; later placements follow the new order.
    void SetOrder(TChartListOrder value);
    bool DateTime() const { return dateTime_; }
    void SetDateTime(bool value);
    const std::string& ValueSource() const { return valueSource_; }
    void SetValueSource(std::string value) { valueSource_ = std::move(value); }

    // The value staged by AddPoint before it is placed.
    double TempValue = 0;

    // Stores value where Order demands (a value equal to existing ones goes after them); returns its index.
    int PlaceValue(double value);
    // Whether PlaceValue would store value last.
    bool GoesLast(double value) const {
        if (order_ == loNone || values_.size() == 0) {
            return true;
        }
        return InOrder(values_.back(), value);
    }
    // Stores value last: PlaceValue of a value that GoesLast, or InsertValueAt(Count(), value).
    void AppendValue(double value) {
        if (ordered_ && !FitsOrderAt(values_.size(), value, false)) {
            ordered_ = false;
        }
        values_.push_back(value);
        MarkStale();
    }
    // How many of values[0], ..., values[n - 1], stored in turn, would each GoesLast.
    std::size_t LeadingGoLast(const double* values, std::size_t n) const;
    // AppendValue of each of the n values in turn.
    void AppendValues(const double* values, std::size_t n);
    // Stores value at index (0..Count), moving later ones up.
    void InsertValueAt(int index, double value);
    // The stored value times Multiplier; EListError outside 0..Count-1.
    double ValueAt(int index) const;
    // ValueAt of the count indices from `from` on, into out.
    void CopyValues(int from, std::size_t count, double* out) const;
    // The stored (unscaled) value.
    double StoredAt(int index) const;
    void SetValueAt(int index, double value);
    void DeleteValueAt(int index);
    void RemoveAllValues();
    // First index whose ValueAt equals value exactly, or -1.
    int IndexOfValue(double value) const;
    int Count() const { return static_cast<int>(values_.size()); }
    // ValueAt of the last index.
    double Last() const { return ValueAt(Count() - 1); }

    double LowestValue() const;
    double HighestValue() const;
    double ValueSum() const;
    double AbsoluteSum() const;
    bool StatisticsStale() const { return stale_; }
    void RefreshStatistics() const;

private:
    // Whether after may follow before in Order (not loNone); a NaN follows nothing and nothing follows it.
    bool InOrder(double before, double after) const {
        return order_ == loAscending ? before <= after : before >= after;
    }
    void CheckIndex(int index, int limit) const;
    void MarkStale() { stale_ = true; }
    // Whether value at index keeps the stored values in Order with its neighbours.
    bool FitsOrderAt(std::size_t index, double value, bool replacing) const;
    void RecheckOrder();

    TChartSeries* owner_;
    std::string name_;
    double multiplier_ = 1.0;
    TChartListOrder order_ = loNone;
    bool dateTime_ = false;
    std::string valueSource_;
    TChunkedVector<double> values_;
    // True while the stored values respect Order, so placement may search by halving; otherwise it scans
    // from the end exactly as the ordered placement is defined.
    bool ordered_ = true;
    mutable bool stale_ = true;
    mutable double lowest_ = 0;
    mutable double highest_ = 0;
    mutable double sum_ = 0;
    mutable double absSum_ = 0;
};

}  // namespace quorvel

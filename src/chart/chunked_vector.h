#pragma once
// A sequence with cheap insertion anywhere: elements live in chunks of bounded size, and a prefix table of
// chunk starts finds the chunk of an index by binary search. Inserting in front of 10^5 elements moves at
// most one chunk plus a table of small integers, so filling a series in descending X order stays fast.
// Reading in index order hits a cached chunk, so drawing loops cost O(1) per element.
#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

namespace quorvel {

template <class T>
class TChunkedVector {
public:
    static constexpr std::size_t kMaxChunk = 1024;

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

    void clear() {
        chunks_.clear();
        chunks_.shrink_to_fit();
        starts_.clear();
        starts_.shrink_to_fit();
        size_ = 0;
        cache_ = 0;
    }

    void push_back(T value) {
        if (chunks_.empty() || chunks_.back().size() >= kMaxChunk) {
            chunks_.emplace_back();
            chunks_.back().reserve(kMaxChunk);
            starts_.push_back(size_);
        }
        chunks_.back().push_back(std::move(value));
        ++size_;
    }

    // push_back of data[0], ..., data[n - 1], a chunk's room at a time.
    void append(const T* data, std::size_t n) {
        while (n > 0) {
            if (chunks_.empty() || chunks_.back().size() >= kMaxChunk) {
                chunks_.emplace_back();
                chunks_.back().reserve(kMaxChunk);
                starts_.push_back(size_);
            }
            auto& chunk = chunks_.back();
            const std::size_t take = std::min(n, kMaxChunk - chunk.size());
            chunk.insert(chunk.end(), data, data + take);
            size_ += take;
            data += take;
            n -= take;
        }
    }

    // Inserts before position index (index == size() appends).
    void insert(std::size_t index, T value) {
        if (index >= size_) {
            push_back(std::move(value));
            return;
        }
        const std::size_t c = ChunkOf(index);
        auto& chunk = chunks_[c];
        chunk.insert(chunk.begin() + static_cast<std::ptrdiff_t>(index - starts_[c]), std::move(value));
        ++size_;
        for (std::size_t k = c + 1; k < starts_.size(); ++k) {
            ++starts_[k];
        }
        if (chunk.size() > kMaxChunk) {
            Split(c);
        }
    }

    void erase(std::size_t index) {
        const std::size_t c = ChunkOf(index);
        auto& chunk = chunks_[c];
        chunk.erase(chunk.begin() + static_cast<std::ptrdiff_t>(index - starts_[c]));
        --size_;
        for (std::size_t k = c + 1; k < starts_.size(); ++k) {
            --starts_[k];
        }
        if (chunk.empty()) {
            chunks_.erase(chunks_.begin() + static_cast<std::ptrdiff_t>(c));
            starts_.erase(starts_.begin() + static_cast<std::ptrdiff_t>(c));
            cache_ = 0;
        }
    }

    // Unchecked element access; callers check the index.
    T& operator[](std::size_t index) {
        const std::size_t c = ChunkOf(index);
        return chunks_[c][index - starts_[c]];
    }
    const T& operator[](std::size_t index) const {
        const std::size_t c = ChunkOf(index);
        return chunks_[c][index - starts_[c]];
    }

    const T& back() const { return chunks_.back().back(); }

    // Calls f(data, n) for the elements from .. to - 1, one chunk's run after the other, in order:
    // loops over many elements then read plain arrays.
    template <class F>
    void ForEachSpan(std::size_t from, std::size_t to, F&& f) const {
        if (from >= to) {
            return;
        }
        std::size_t c = ChunkOf(from);
        std::size_t offset = from - starts_[c];
        while (from < to) {
            const std::vector<T>& chunk = chunks_[c];
            const std::size_t n = std::min(chunk.size() - offset, to - from);
            f(chunk.data() + offset, n);
            from += n;
            ++c;
            offset = 0;
        }
    }

    // The first index whose element is greater than value (elements ordered by less), or size().
    template <class Less>
    std::size_t UpperBound(const T& value, Less less) const {
        // First chunk whose last element is greater than value.
        auto it = std::upper_bound(chunks_.begin(), chunks_.end(), value,
                                   [&](const T& v, const std::vector<T>& ch) { return less(v, ch.back()); });
        if (it == chunks_.end()) {
            return size_;
        }
        const std::size_t c = static_cast<std::size_t>(it - chunks_.begin());
        auto pos = std::upper_bound(it->begin(), it->end(), value, less);
        return starts_[c] + static_cast<std::size_t>(pos - it->begin());
    }

private:
    std::size_t ChunkOf(std::size_t index) const {
        if (cache_ < chunks_.size() && index >= starts_[cache_] &&
            index < starts_[cache_] + chunks_[cache_].size()) {
            return cache_;
        }
        if (cache_ + 1 < chunks_.size() && index >= starts_[cache_ + 1] &&
            index < starts_[cache_ + 1] + chunks_[cache_ + 1].size()) {
            return ++cache_;
        }
        auto it = std::upper_bound(starts_.begin(), starts_.end(), index);
        cache_ = static_cast<std::size_t>(it - starts_.begin()) - 1;
        return cache_;
    }

    void Split(std::size_t c) {
        auto& chunk = chunks_[c];
        const std::size_t half = chunk.size() / 2;
        std::vector<T> tail;
        tail.reserve(kMaxChunk);
        for (std::size_t k = half; k < chunk.size(); ++k) {
            tail.push_back(std::move(chunk[k]));
        }
        chunk.erase(chunk.begin() + static_cast<std::ptrdiff_t>(half), chunk.end());
        const std::size_t tailStart = starts_[c] + half;
        chunks_.insert(chunks_.begin() + static_cast<std::ptrdiff_t>(c + 1), std::move(tail));
        starts_.insert(starts_.begin() + static_cast<std::ptrdiff_t>(c + 1), tailStart);
    }

    std::vector<std::vector<T>> chunks_;
    std::vector<std::size_t> starts_;
    std::size_t size_ = 0;
    mutable std::size_t cache_ = 0;
};

}  // namespace quorvel

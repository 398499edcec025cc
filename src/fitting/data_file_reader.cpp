#include "fitting/data_file_reader.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "fitting/point_extraction.h"
#include "fitting/two_parts.h"
#include "runtime/exceptions.h"
#include "runtime/large_buffers.h"
#include "runtime/number_text.h"

namespace quorvel {

namespace {

// Keeps the words of each line as a table row.
class TTableSink {
public:
    static constexpr int kWords = 2;
    explicit TTableSink(TDataFileTable& table) : table_(table) {}
    TDataFileTable::TLineWords Read(TLineCursor<kDataLines>& line) {
        const std::string_view y = line.Next();
        return {y, line.Next()};
    }
    bool Take(const TDataFileTable::TLineWords& words) {
        table_.AppendLine(words.y, words.x);
        return true;
    }

private:
    TDataFileTable& table_;
};

// Keeps the four words of each line as a table row with its uncertainties.
class TFourColumnSink {
public:
    static constexpr int kWords = 4;
    explicit TFourColumnSink(TFourColumnFileTable& table) : table_(table) {}
    struct TWords {
        std::string_view word[4];
    };
    TWords Read(TLineCursor<kDataLines>& line) {
        TWords words;
        for (std::string_view& word : words.word) {
            word = line.Next();
        }
        return words;
    }
    bool Take(const TWords& words) {
        table_.values.AppendLine(words.word[0], words.word[1]);
        table_.uncertainties.AppendLine(words.word[2], words.word[3]);
        return true;
    }

private:
    TFourColumnFileTable& table_;
};

// Reads a plain number where its word lies, for TLineCursor::Next.
auto Plain(double& value) {
    return [&value](const char* from, const char* p, const char* end) {
        return ReadPlainDecimal(from, p, end, value);
    };
}

// The next word of a line with its number: a plain number ("[+|-]digits[.digits]") is read where its word
// lies, on the way to the word's end; any other word is left to be read as a cell's text is.
struct TNumberWord {
    std::string_view word;
    double value = 0;
    bool plain = false;

    // Throws what ParseUserNumber throws.
    double Value() const { return plain ? value : ParseUserNumber(word); }
};
TNumberWord NextNumberWord(TLineCursor<kDataLines>& line) {
    TNumberWord w;
    w.word = line.Next(Plain(w.value), w.plain);
    return w;
}

// Keeps the point of each line with both words.
class TPointSink {
public:
    static constexpr int kWords = 2;
    explicit TPointSink(TDataPoints& kept) : kept_(kept) {}
    struct TLinePoint {
        TDataPoint point;
        bool counted = false;
    };
    TLinePoint Read(TLineCursor<kDataLines>& line) {
        TLinePoint read;
        if (kept_.unreadable) {
            return read;  // the read goes on only for its status
        }
        const TNumberWord y = NextNumberWord(line);
        const TNumberWord x = y.word.empty() ? TNumberWord{} : NextNumberWord(line);
        if (x.word.empty()) {
            return read;
        }
        try {
            read.point.Y = y.Value();
            read.point.X = x.Value();
            read.counted = true;
        } catch (const Exception&) {
            kept_.unreadable = std::current_exception();
        }
        return read;
    }
    bool Take(const TLinePoint& line) {
        if (line.counted) {
            kept_.points.push_back(line.point);
        }
        return true;
    }

private:
    TDataPoints& kept_;
};

// Keeps each counted line's point with its uncertainties, from the third and fourth words or the rules.
class TCalibrationSink {
public:
    static constexpr int kWords = 4;
    explicit TCalibrationSink(TCalibrationPoints& kept) : kept_(kept) {}
    struct TLine {
        TDataPoint point;
        bool counted = false;
        TNumberWord uy;
        TNumberWord ux;
    };
    TLine Read(TLineCursor<kDataLines>& line) {
        TLine read;
        const TNumberWord y = NextNumberWord(line);
        const TNumberWord x = y.word.empty() ? TNumberWord{} : NextNumberWord(line);
        if (x.word.empty()) {
            return read;
        }
        read.counted = true;
        read.uy = NextNumberWord(line);
        read.ux = read.uy.word.empty() ? TNumberWord{} : NextNumberWord(line);
        if (kept_.unreadable) {
            return read;
        }
        try {
            read.point.Y = y.Value();
            read.point.X = x.Value();
        } catch (const Exception&) {
            kept_.unreadable = std::current_exception();
            kept_.unreadableLine = kept_.lines + 1;
        }
        return read;
    }
    bool Take(const TLine& line) {
        ++kept_.lines;
        if (!line.counted || kept_.unreadable || kept_.faultLine != 0) {
            return true;
        }
        std::optional<double> uy;
        std::optional<double> ux;
        if (Read(line.uy, uy) && Read(line.ux, ux)) {
            TakeCalibrationPoint(kept_, line.point, {line.uy.word, uy}, {line.ux.word, ux});
        }
        return true;
    }

private:
    // The value of an uncertainty word (none for a missing word); false, the fault noted, when the word
    // is no number. A fault stops nothing: the read goes on for its status.
    bool Read(const TNumberWord& word, std::optional<double>& out) {
        if (word.word.empty()) {
            return true;
        }
        try {
            out = word.Value();
            return true;
        } catch (const Exception& e) {
            NoteCalibrationFault(kept_, word.word, e.Message());
            return false;
        }
    }

    TCalibrationPoints& kept_;
};

}  // namespace

void NoteCalibrationFault(TCalibrationPoints& kept, std::string_view word, std::string what) {
    kept.faultLine = kept.lines;
    kept.faultWord = word;
    kept.fault = std::move(what);
}

void TakeCalibrationPoint(TCalibrationPoints& kept, const TDataPoint& point, const TUncertaintyValue& uyGiven,
                          const TUncertaintyValue& uxGiven) {
    double uy = 0;
    double ux = 0;
    if (uyGiven.value) {
        uy = *uyGiven.value;
    } else if (kept.uyRule) {
        uy = kept.uyRule->At(point.Y);
    } else {
        NoteCalibrationFault(kept, uyGiven.word, "no u(Y) (the third word), and no --u-y rule");
        return;
    }
    if (uxGiven.value) {
        ux = *uxGiven.value;
    } else if (kept.uxRule) {
        ux = kept.uxRule->At(point.X);
    }
    if (!(uy > 0)) {
        NoteCalibrationFault(kept, uyGiven.word, "u(Y) must be greater than 0");
    } else if (!(ux >= 0)) {
        NoteCalibrationFault(kept, uxGiven.word, "u(X) must not be negative");
    } else {
        kept.points.push_back(point);
        kept.u.uy.push_back(uy);
        // The u(X) column is kept from its first value that is not 0 on (the points before have 0).
        if (ux != 0 || !kept.u.ux.empty()) {
            kept.u.ux.resize(kept.points.size() - 1, 0.0);
            kept.u.ux.push_back(ux);
        }
    }
}

namespace {

template <class Kept>
struct TSinkOf;
template <>
struct TSinkOf<TDataFileTable> {
    using type = TTableSink;
};
template <>
struct TSinkOf<TFourColumnFileTable> {
    using type = TFourColumnSink;
};
template <>
struct TSinkOf<TDataPoints> {
    using type = TPointSink;
};
template <>
struct TSinkOf<TCalibrationPoints> {
    using type = TCalibrationSink;
};

// A data file's lines, cut by the one splitter, into what a read keeps.
template <class Kept>
class TDataLines {
public:
    TDataLines(Kept& kept, const TDataReadOptions& options, bool atTextStart = true)
        : sink_(kept),
          splitter_(
              sink_,
              TLineLimits{static_cast<std::size_t>(std::max(options.maxLines, 0)), options.maxLineBytes},
              atTextStart) {}
    ILineFeed& Feed() { return splitter_; }
    std::size_t Lines() const { return splitter_.Lines(); }
    TDataReadStatus Status(TPiecesEnd end) const {
        switch (end) {
            case TPiecesEnd::Ended:
                return TDataReadStatus::Ok;
            case TPiecesEnd::ReadFailed:
                return TDataReadStatus::ReadError;
            case TPiecesEnd::Cancelled:
            case TPiecesEnd::Stopped:
                return TDataReadStatus::Cancelled;
            case TPiecesEnd::Refused:
                break;
        }
        return splitter_.Refusal() == TLinesRefusal::LineTooLong ? TDataReadStatus::LineTooLong
                                                                 : TDataReadStatus::TooManyLines;
    }

private:
    typename TSinkOf<Kept>::type sink_;
    TLineSplitter<kDataLines, typename TSinkOf<Kept>::type> splitter_;
};

// The words take at most the text's size, and lines are rarely shorter than 16 bytes; reserving that
// spares copies while the kept values grow (untouched reserved pages cost no memory).
void ReserveFor(TDataFileTable& table, std::uint64_t bytes) {
    table.Reserve(static_cast<std::size_t>(std::min<std::uint64_t>(bytes, std::uint64_t{1} << 28)),
                  static_cast<std::size_t>(std::min<std::uint64_t>(bytes / 16, kMaxTableRows)));
}
void ReserveFor(TFourColumnFileTable& table, std::uint64_t bytes) {
    ReserveFor(table.values, bytes);
}
void ReserveFor(TDataPoints& kept, std::uint64_t bytes) {
    ReserveLarge(kept.points, static_cast<std::size_t>(std::min<std::uint64_t>(bytes / 16, kMaxTableRows)));
}

// What the second half keeps: nothing yet, read by the same rules.
template <class Kept>
Kept EmptyLike(const Kept&) {
    return Kept{};
}
TCalibrationPoints EmptyLike(const TCalibrationPoints& kept) {
    TCalibrationPoints tail;
    tail.uyRule = kept.uyRule;
    tail.uxRule = kept.uxRule;
    return tail;
}

void ReserveFor(TCalibrationPoints& kept, std::uint64_t bytes) {
    const auto lines = static_cast<std::size_t>(std::min<std::uint64_t>(bytes / 16, kMaxTableRows));
    ReserveLarge(kept.points, lines);
    ReserveLarge(kept.u.uy, lines);
}

void AppendHalf(TCalibrationPoints& kept, const TCalibrationPoints& tail, const TWorkOptions&) {
    // As a read in order: the first Y or X that is no number, and the first uncertainty fault before it,
    // the second half's lines counted on.
    if (kept.faultLine == 0 && !kept.unreadable && tail.faultLine != 0) {
        kept.faultLine = kept.lines + tail.faultLine;
        kept.faultWord = tail.faultWord;
        kept.fault = tail.fault;
    }
    if (!kept.unreadable && tail.unreadable) {
        kept.unreadable = tail.unreadable;
        kept.unreadableLine = kept.lines + tail.unreadableLine;
    }
    kept.lines += tail.lines;
    kept.points.insert(kept.points.end(), tail.points.begin(), tail.points.end());
    kept.u.uy.insert(kept.u.uy.end(), tail.u.uy.begin(), tail.u.uy.end());
    // A half without a u(X) column has every u(X) 0; one with it has a u(X) for each of its points.
    if (!tail.u.ux.empty() || !kept.u.ux.empty()) {
        const auto head = static_cast<std::ptrdiff_t>(kept.points.size() - tail.points.size());
        kept.u.ux.resize(kept.points.size(), 0.0);
        std::copy(tail.u.ux.begin(), tail.u.ux.end(), kept.u.ux.begin() + head);
    }
}

void AppendHalf(TDataFileTable& table, const TDataFileTable& tail, const TWorkOptions&) {
    table.Append(tail);
}
void AppendHalf(TFourColumnFileTable& table, const TFourColumnFileTable& tail, const TWorkOptions&) {
    table.values.Append(tail.values);
    table.uncertainties.Append(tail.uncertainties);
}
void AppendHalf(TDataPoints& kept, const TDataPoints& tail, const TWorkOptions& work) {
    if (!kept.unreadable) {
        kept.unreadable = tail.unreadable;
    }
    TPointTable& points = kept.points;
    const std::size_t more = tail.points.size();
    if (points.size() + more <= points.capacity() && more >= kTwoPartsFrom) {
        // The copy's room is fresh memory, whose page faults would otherwise be taken by one core.
        const char* const room = reinterpret_cast<const char*>(points.data() + points.size());
        const std::size_t bytes = more * sizeof(TDataPoint);
        BothAtOnce(
            work, [room, bytes] { PopulateForWriting(room, bytes / 2); },
            [room, bytes] { PopulateForWriting(room + bytes / 2, bytes - bytes / 2); });
    }
    points.insert(points.end(), tail.points.begin(), tail.points.end());
}

template <class Kept>
TDataReadStatus ReadInOrder(const TByteSource& source, Kept& kept, const TDataReadOptions& options,
                            std::uint64_t size) {
    TDataLines<Kept> lines(kept, options);
    const TDataReadStatus status = lines.Status(FeedInOrder(source, lines.Feed(), options.progress, size));
    if (status != TDataReadStatus::Ok && status != TDataReadStatus::ReadError) {
        kept.Clear();  // a read error keeps the whole lines before it
    }
    return status;
}

TByteSource InOrder(const TPositionalSource& source) {
    return [&source, at = std::uint64_t{0}](char* buffer, std::size_t size) mutable -> std::ptrdiff_t {
        const std::ptrdiff_t got = source(buffer, size, at);
        if (got > 0) {
            at += static_cast<std::uint64_t>(got);
        }
        return got;
    };
}

// What the halves' ends come to, as a read in order would have ended.
struct THalvesVerdict {
    enum { KeepFirst, KeepNothing, Join, ReadAgain } action;
    TDataReadStatus status;
};
THalvesVerdict JudgeHalves(const THalvesEnd& ends, TDataReadStatus first, TDataReadStatus second,
                           std::size_t lines, int maxLines) {
    if (first == TDataReadStatus::ReadError) {
        return {THalvesVerdict::KeepFirst, first};  // the whole lines before the failure are kept
    }
    if (first != TDataReadStatus::Ok) {
        return {THalvesVerdict::KeepNothing, first};
    }
    if (ends.secondStart == kNoLineStart && second == TDataReadStatus::ReadError &&
        ends.firstEnd != kNoLineStart) {
        return {THalvesVerdict::KeepFirst, second};  // the second half failed before its first line
    }
    if (ends.secondStart != ends.firstEnd) {
        // The halves split the text at different places: it changed while it was read.
        return {THalvesVerdict::ReadAgain, TDataReadStatus::Ok};
    }
    if (ends.firstEnd == kNoLineStart) {
        return {THalvesVerdict::KeepFirst, TDataReadStatus::Ok};  // no line begins in the second half
    }
    // A read in order meets the line limit before a long line or a failure beyond it.
    const auto limit = static_cast<std::size_t>(std::max(maxLines, 0));
    if (second == TDataReadStatus::TooManyLines || lines > limit ||
        (second == TDataReadStatus::LineTooLong && lines >= limit)) {
        return {THalvesVerdict::KeepNothing, TDataReadStatus::TooManyLines};
    }
    if (second == TDataReadStatus::LineTooLong) {
        return {THalvesVerdict::KeepNothing, second};
    }
    return {THalvesVerdict::Join, second};
}

}  // namespace

void TDataPoints::Clear() {
    TPointTable().swap(points);
    unreadable = nullptr;
}

void TCalibrationPoints::Clear() {
    TPointTable().swap(points);
    TUncertaintyColumns().uy.swap(u.uy);
    std::vector<double>().swap(u.ux);
    unreadable = nullptr;
    unreadableLine = 0;
    faultLine = 0;
    faultWord.clear();
    fault.clear();
    lines = 0;
}

template <class Kept>
TDataReadStatus ReadDataInTwoParts(const TPositionalSource& source, std::uint64_t size, Kept& kept,
                                   const TDataReadOptions& options) {
    kept.Clear();
    ReserveFor(kept, size);
    Kept tail = EmptyLike(kept);
    ReserveFor(tail, size - size / 2);
    TDataLines<Kept> first(kept, options);
    TDataLines<Kept> second(tail, options, false);
    THalvesEnd ends;
    try {
        ends = FeedInTwoHalves(source, size, first.Feed(), second.Feed(), options.progress, options.work);
    } catch (...) {
        kept.Clear();
        throw;
    }
    const THalvesVerdict verdict = JudgeHalves(ends, first.Status(ends.first), second.Status(ends.second),
                                               first.Lines() + second.Lines(), options.maxLines);
    switch (verdict.action) {
        case THalvesVerdict::KeepFirst:
            break;
        case THalvesVerdict::KeepNothing:
            kept.Clear();
            break;
        case THalvesVerdict::ReadAgain:
            kept.Clear();
            return ReadInOrder(InOrder(source), kept, options, size);
        case THalvesVerdict::Join:
            AppendHalf(kept, tail, options.work);
            break;
    }
    return verdict.status;
}

template <class Kept>
TDataReadStatus ReadDataFile(const std::string& path, Kept& kept, const TDataReadOptions& options) {
    const int fd = OpenRegularFile(path);
    if (fd < 0) {
        kept.Clear();
        return TDataReadStatus::OpenFailed;
    }
    struct stat info = {};
    ::fstat(fd, &info);
    // Closed also when the memory runs out part way, so that the window does not leak the file.
    const TDescriptorCloser closer(fd);
    const auto size = static_cast<std::uint64_t>(info.st_size);
    if (size >= kTwoPartReadFrom && SecondCoreUsable(options.work)) {
        return ReadDataInTwoParts(PositionalSource(fd), size, kept, options);
    }
    kept.Clear();
    ReserveFor(kept, size);
    return ReadInOrder(DescriptorSource(fd), kept, options, size);
}

template <class Kept>
TDataReadStatus ReadDataFrom(const TByteSource& source, Kept& kept, const TDataReadOptions& options) {
    kept.Clear();
    return ReadInOrder(source, kept, options, 0);
}

template TDataReadStatus ReadDataFile(const std::string&, TDataFileTable&, const TDataReadOptions&);
template TDataReadStatus ReadDataFile(const std::string&, TDataPoints&, const TDataReadOptions&);
template TDataReadStatus ReadDataFrom(const TByteSource&, TDataFileTable&, const TDataReadOptions&);
template TDataReadStatus ReadDataFrom(const TByteSource&, TDataPoints&, const TDataReadOptions&);
template TDataReadStatus ReadDataInTwoParts(const TPositionalSource&, std::uint64_t, TDataFileTable&,
                                            const TDataReadOptions&);
template TDataReadStatus ReadDataInTwoParts(const TPositionalSource&, std::uint64_t, TDataPoints&,
                                            const TDataReadOptions&);
template TDataReadStatus ReadDataFile(const std::string&, TFourColumnFileTable&, const TDataReadOptions&);
template TDataReadStatus ReadDataFrom(const TByteSource&, TFourColumnFileTable&, const TDataReadOptions&);
template TDataReadStatus ReadDataInTwoParts(const TPositionalSource&, std::uint64_t, TFourColumnFileTable&,
                                            const TDataReadOptions&);
template TDataReadStatus ReadDataFile(const std::string&, TCalibrationPoints&, const TDataReadOptions&);
template TDataReadStatus ReadDataFrom(const TByteSource&, TCalibrationPoints&, const TDataReadOptions&);
template TDataReadStatus ReadDataInTwoParts(const TPositionalSource&, std::uint64_t, TCalibrationPoints&,
                                            const TDataReadOptions&);

namespace {

template <class Table>
TDataReadStatus ParseTableText(std::string_view text, Table& table, int maxLines) {
    table.Clear();
    TDataReadOptions options;
    options.maxLines = maxLines;
    TDataLines<Table> lines(table, options);
    if (!lines.Feed().Feed(text) || !lines.Feed().Finish()) {
        table.Clear();
        return TDataReadStatus::TooManyLines;
    }
    return TDataReadStatus::Ok;
}

}  // namespace

TDataReadStatus ParseDataText(std::string_view text, TDataFileTable& table, int maxLines) {
    return ParseTableText(text, table, maxLines);
}

TDataReadStatus ParseDataText(std::string_view text, TFourColumnFileTable& table, int maxLines) {
    return ParseTableText(text, table, maxLines);
}

TByteSource DescriptorSource(int fd) {
    return [fd](char* buffer, std::size_t size) -> std::ptrdiff_t {
        for (;;) {
            const ssize_t got = ::read(fd, buffer, size);
            if (got >= 0) {
                return got;
            }
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                // A descriptor left non-blocking by whoever started us: wait for data instead of
                // taking the pause for an error.
                pollfd wait{fd, POLLIN, 0};
                ::poll(&wait, 1, -1);
            } else if (errno != EINTR) {
                return -1;
            }
        }
    };
}

TDescriptorCloser::~TDescriptorCloser() {
    if (fd >= 0) {
        ::close(fd);
    }
}

TPositionalSource PositionalSource(int fd) {
    return [fd](char* buffer, std::size_t size, std::uint64_t offset) {
        ssize_t got;
        do {
            got = ::pread(fd, buffer, size, static_cast<off_t>(offset));
        } while (got < 0 && errno == EINTR);
        return static_cast<std::ptrdiff_t>(got);
    };
}

int OpenRegularFile(const std::string& path) {
    // Looked at before opening, so that a device is never opened (opening one may have effects of
    // its own), and again after, since the name may have been replaced in between.
    struct stat info = {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return -1;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::size_t TDataFileTable::BlankOf(std::size_t line) const {
    // The Y word holds no blank and is followed by the line's one blank.
    return static_cast<std::size_t>(
        WordEnd<kDataLines>(words_.data() + starts_[line], words_.data() + words_.size()) - words_.data());
}

TDataFileTable::TLineWords TDataFileTable::WordsAround(std::size_t line, std::size_t blank) const {
    const std::size_t begin = starts_[line];
    const std::size_t end = line + 1 < starts_.size() ? starts_[line + 1] : words_.size();
    return {std::string_view(words_.data() + begin, blank - begin),
            std::string_view(words_.data() + blank + 1, end - blank - 1)};
}

TDataFileTable::TLineWords TDataFileTable::LineWords(int line) const {
    const auto index = static_cast<std::size_t>(line - 1);
    return WordsAround(index, BlankOf(index));
}

std::string_view TDataFileTable::CellText(int col, int row) const {
    const TRowTexts texts = RowTexts(row);
    return col == 0 ? texts.y : col == 1 ? texts.x : std::string_view();
}

ITableSource::TRowTexts TDataFileTable::RowTexts(int row) const {
    if (row < 1 || row > LineCount()) {
        return {};
    }
    const TLineWords words = LineWords(row);
    return {words.y, words.x};
}

std::string_view TFourColumnFileTable::CellText(int col, int row) const {
    const TRowTexts texts = RowTexts(row);
    const std::string_view cells[] = {texts.y, texts.x, texts.uy, texts.ux};
    return col >= 0 && col < 4 ? cells[col] : std::string_view();
}

ITableSource::TRowTexts TFourColumnFileTable::RowTexts(int row) const {
    if (row < 1 || row > LineCount()) {
        return {};
    }
    const TDataFileTable::TLineWords words = values.LineWords(row);
    const TDataFileTable::TLineWords u = uncertainties.LineWords(row);
    return {words.y, words.x, u.y, u.x};
}

void TDataFileTable::AppendLine(std::string_view y, std::string_view x) {
    starts_.push_back(words_.size());
    // Where one blank parts the words in the text they come from, both go with one append.
    if (!y.empty() && x.data() == y.data() + y.size() + 1 && y.data()[y.size()] == ' ') {
        words_.append(y.data(), y.size() + 1 + x.size());
    } else {
        words_ += y;
        words_ += ' ';
        words_ += x;
    }
}

void TDataFileTable::Clear() {
    std::string().swap(words_);
    std::vector<std::size_t>().swap(starts_);
}

void TDataFileTable::Reserve(std::size_t wordBytes, std::size_t lines) {
    ReserveLarge(words_, wordBytes);
    ReserveLarge(starts_, lines);
}

void TDataFileTable::Append(const TDataFileTable& other) {
    const std::size_t base = words_.size();
    words_ += other.words_;
    starts_.reserve(starts_.size() + other.starts_.size());
    for (const std::size_t start : other.starts_) {
        starts_.push_back(base + start);
    }
}

}  // namespace quorvel

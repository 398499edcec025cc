#include "fitting/data_file_reader.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "fitting/two_parts.h"
#include "runtime/large_buffers.h"

namespace quorvel {

namespace {

enum TByteClass : unsigned char { bcWord, bcBlank, bcLineFeed, bcNul };

constexpr std::array<unsigned char, 256> MakeClasses() {
    std::array<unsigned char, 256> classes{};
    for (const char c : {' ', '\t', '\r', '\v', '\f'}) {
        classes[static_cast<unsigned char>(c)] = bcBlank;
    }
    classes['\n'] = bcLineFeed;
    classes[0] = bcNul;
    return classes;
}

constexpr std::array<unsigned char, 256> kClasses = MakeClasses();

inline unsigned char ClassOf(char c) {
    return kClasses[static_cast<unsigned char>(c)];
}

// The first byte from p on (before end) that is not part of a word: every such byte is below 0x21, so
// eight bytes at a time are tried for one, and only a candidate is looked up.
inline const char* WordEnd(const char* p, const char* const end) {
    constexpr std::uint64_t kOnes = 0x0101010101010101u;
    while (end - p >= 8) {
        std::uint64_t w;
        std::memcpy(&w, p, 8);
        if constexpr (std::endian::native == std::endian::big) {
            w = __builtin_bswap64(w);
        }
        // The lowest byte below 0x21 sets its high bit here (higher bytes may be flagged falsely).
        const std::uint64_t below = (w - kOnes * 0x21) & ~w & (kOnes * 0x80);
        if (below == 0) {
            p += 8;
            continue;
        }
        p += std::countr_zero(below) / 8;
        if (ClassOf(*p) != bcWord) {
            return p;
        }
        ++p;  // a control character that words may hold
    }
    while (p < end && ClassOf(*p) == bcWord) {
        ++p;
    }
    return p;
}

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

// Bytes asked of the source per read.
constexpr std::size_t kChunk = std::size_t{1} << 20;

TDataReadStatus ReadInto(const TByteSource& source, TDataFileTable& table, int maxLines,
                         const TReadProgress& progress = {}, std::uint64_t size = 0,
                         std::size_t maxLineBytes = 0) {
    TDataFileParser parser(table, maxLines, maxLineBytes);
    const std::unique_ptr<char[]> buffer(new char[kChunk]);
    std::uint64_t done = 0;
    for (;;) {
        if (progress && !progress(done, size)) {
            table.Clear();
            return TDataReadStatus::Cancelled;
        }
        const std::ptrdiff_t got = source(buffer.get(), kChunk);
        if (got < 0) {
            parser.Abandon();
            return TDataReadStatus::ReadError;
        }
        const bool taken = got == 0
                               ? parser.Finish()
                               : parser.Feed(std::string_view(buffer.get(), static_cast<std::size_t>(got)));
        if (!taken) {
            table.Clear();
            return parser.LineTooLong() ? TDataReadStatus::LineTooLong : TDataReadStatus::TooManyLines;
        }
        if (got == 0) {
            return TDataReadStatus::Ok;
        }
        done += static_cast<std::uint64_t>(got);
    }
}

// The words take at most the text's size, and lines are rarely shorter than 16 bytes; reserving that
// spares copies while the table grows (untouched reserved pages cost no memory).
void ReserveFor(TDataFileTable& table, std::uint64_t bytes) {
    table.Reserve(static_cast<std::size_t>(std::min<std::uint64_t>(bytes, std::uint64_t{1} << 28)),
                  static_cast<std::size_t>(std::min<std::uint64_t>(bytes / 16, kMaxTableRows)));
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

TDataReadStatus RefusalOf(const TDataFileParser& parser) {
    return parser.LineTooLong() ? TDataReadStatus::LineTooLong : TDataReadStatus::TooManyLines;
}

// The second half of a text, read on its own thread from the first line that begins after the LF at or
// after its middle.
struct TTailRead {
    TDataFileTable table;
    std::uint64_t start = kNoLineStart;  // where its first line begins
    TDataReadStatus status = TDataReadStatus::Ok;
    std::exception_ptr fault;
    std::atomic<std::uint64_t> bytes{0};
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable endedSignal;
    bool ended = false;
};

void ReadTail(const TPositionalSource& source, std::uint64_t middle, int maxLines, std::size_t maxLineBytes,
              TTailRead& tail) {
    TDataFileParser parser(tail.table, maxLines, maxLineBytes, false);
    const std::unique_ptr<char[]> buffer(new char[kChunk]);
    std::uint64_t at = middle;
    while (!tail.stop.load(std::memory_order_relaxed)) {
        const std::ptrdiff_t got = source(buffer.get(), kChunk, at);
        if (got < 0) {
            parser.Abandon();
            tail.status = TDataReadStatus::ReadError;
            return;
        }
        if (got == 0) {
            if (!parser.Finish()) {
                tail.status = RefusalOf(parser);
            }
            return;
        }
        const char* p = buffer.get();
        if (tail.start == kNoLineStart) {
            const void* lf = std::memchr(p, '\n', static_cast<std::size_t>(got));
            if (lf == nullptr) {
                at += static_cast<std::uint64_t>(got);
                continue;
            }
            p = static_cast<const char*>(lf) + 1;
            tail.start = at + static_cast<std::uint64_t>(p - buffer.get());
        }
        if (!parser.Feed(std::string_view(p, static_cast<std::size_t>(buffer.get() + got - p)))) {
            tail.status = RefusalOf(parser);
            return;
        }
        at += static_cast<std::uint64_t>(got);
        tail.bytes.store(at - middle, std::memory_order_relaxed);
    }
}

}  // namespace

TDataReadStatus ReadDataTableInTwoParts(const TPositionalSource& source, std::uint64_t size,
                                        TDataFileTable& table, const TReadProgress& progress,
                                        std::size_t maxLineBytes, int maxLines) {
    table.Clear();
    ReserveFor(table, size);
    const std::uint64_t middle = size / 2;
    TTailRead tail;
    ReserveFor(tail.table, size - middle);
    std::thread worker;
    try {
        worker = std::thread([&] {
            try {
                ReadTail(source, middle, maxLines, maxLineBytes, tail);
            } catch (...) {
                tail.fault = std::current_exception();
            }
            const std::lock_guard<std::mutex> lock(tail.mutex);
            tail.ended = true;
            tail.endedSignal.notify_all();
        });
    } catch (const std::system_error&) {
        return ReadInto(InOrder(source), table, maxLines, progress, size, maxLineBytes);
    }
    // The other thread is stopped and joined on every way out, an exception's included.
    struct TJoin {
        TTailRead& tail;
        std::thread& worker;
        ~TJoin() {
            if (worker.joinable()) {
                tail.stop.store(true);
                worker.join();
            }
        }
    } join{tail, worker};

    // The first half: up to and with the first LF at or after the middle (or to the end without one).
    TDataFileParser parser(table, maxLines, maxLineBytes);
    const std::unique_ptr<char[]> buffer(new char[kChunk]);
    std::uint64_t at = 0;
    std::uint64_t end = kNoLineStart;
    const auto told = [&] {
        return !progress || progress(std::min(size, at + tail.bytes.load(std::memory_order_relaxed)), size);
    };
    TDataReadStatus status = TDataReadStatus::Ok;
    while (end == kNoLineStart) {
        if (!told()) {
            status = TDataReadStatus::Cancelled;
            break;
        }
        const std::ptrdiff_t got = source(buffer.get(), kChunk, at);
        if (got < 0) {
            parser.Abandon();
            status = TDataReadStatus::ReadError;
            break;
        }
        if (got == 0) {
            if (!parser.Finish()) {
                status = RefusalOf(parser);
            }
            break;
        }
        auto take = static_cast<std::size_t>(got);
        if (at + take > middle) {
            const std::uint64_t from = std::max(at, middle);
            if (const void* lf = std::memchr(buffer.get() + (from - at), '\n', at + take - from)) {
                take = static_cast<std::size_t>(static_cast<const char*>(lf) - buffer.get()) + 1;
                end = at + take;
            }
        }
        if (!parser.Feed(std::string_view(buffer.get(), take))) {
            status = RefusalOf(parser);
            break;
        }
        at += take;
    }
    if (status == TDataReadStatus::Ok && progress) {
        // The window's events go on while the other half ends.
        std::unique_lock<std::mutex> lock(tail.mutex);
        while (
            !tail.endedSignal.wait_for(lock, std::chrono::milliseconds(10), [&tail] { return tail.ended; })) {
            lock.unlock();
            const bool go = told();
            lock.lock();
            if (!go) {
                status = TDataReadStatus::Cancelled;
                break;
            }
        }
    }
    if (status != TDataReadStatus::Ok) {
        tail.stop.store(true);
    }
    worker.join();
    if (status == TDataReadStatus::ReadError) {
        return status;  // the whole lines before the failure are kept
    }
    if (status != TDataReadStatus::Ok || tail.fault) {
        table.Clear();
        if (tail.fault) {
            std::rethrow_exception(tail.fault);
        }
        return status;
    }
    if (tail.start == kNoLineStart && tail.status == TDataReadStatus::ReadError && end != kNoLineStart) {
        return TDataReadStatus::ReadError;  // the second half failed before its first line
    }
    if (tail.start != end) {
        // The halves split the text at different places: it changed while it was read. Read it again, in
        // order.
        table.Clear();
        return ReadInto(InOrder(source), table, maxLines, progress, size, maxLineBytes);
    }
    if (end == kNoLineStart) {
        return TDataReadStatus::Ok;  // no line begins in the second half
    }
    const std::size_t lines = static_cast<std::size_t>(table.LineCount() + tail.table.LineCount());
    const auto limit = static_cast<std::size_t>(std::max(maxLines, 0));
    // A read in order meets the line limit before a long line or a failure beyond it.
    if (tail.status == TDataReadStatus::TooManyLines || lines > limit ||
        (tail.status == TDataReadStatus::LineTooLong && lines >= limit)) {
        table.Clear();
        return TDataReadStatus::TooManyLines;
    }
    if (tail.status == TDataReadStatus::LineTooLong) {
        table.Clear();
        return TDataReadStatus::LineTooLong;
    }
    table.Append(tail.table);
    return tail.status;
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

std::size_t TDataFileTable::BlankOf(std::size_t line) const {
    // The Y word holds no blank and is followed by the line's one blank.
    return static_cast<std::size_t>(WordEnd(words_.data() + starts_[line], words_.data() + words_.size()) -
                                    words_.data());
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

TDataFileParser::TDataFileParser(TDataFileTable& table, int maxLines, std::size_t maxLineBytes,
                                 bool atTextStart)
    : table_(table),
      maxLines_(static_cast<std::size_t>(std::max(maxLines, 0))),
      bomMatched_(atTextStart ? 0 : -1),
      maxLineBytes_(maxLineBytes) {}

bool TDataFileParser::Feed(std::string_view bytes) {
    const char* p = bytes.data();
    const char* const end = p + bytes.size();
    // The mark may arrive split over several pieces; bytes that turn out not to be one are text.
    while (bomMatched_ >= 0 && p < end) {
        if (*p == kByteOrderMark[bomMatched_]) {
            ++p;
            if (++bomMatched_ == 3) {
                bomMatched_ = -1;
            }
        } else {
            const int matched = bomMatched_;
            bomMatched_ = -1;
            Take(kByteOrderMark, kByteOrderMark + matched);
        }
    }
    if (p < end && !full_) {
        Take(p, end);
    }
    return !full_;
}

bool TDataFileParser::Finish() {
    if (bomMatched_ > 0 && !full_) {
        const int matched = bomMatched_;
        bomMatched_ = -1;
        Take(kByteOrderMark, kByteOrderMark + matched);
    }
    bomMatched_ = -1;
    if (lineOpen_) {
        EndLine();
    }
    return !full_;
}

void TDataFileParser::Abandon() {
    if (lineOpen_) {
        table_.words_.resize(lineStart_);
        lineOpen_ = false;
        state_ = TState::BeforeY;
    }
}

TDataFileTable::TLineWords WordsOfLine(const char* p, const char* const lf) {
    // The same rules as the parser's byte-by-byte path, for a line that lies whole in memory.
    const auto skip = [lf](const char* q) {
        while (q < lf && ClassOf(*q) == bcBlank) {
            ++q;
        }
        return q;
    };
    const char* const yBegin = skip(p);
    const char* const yEnd = WordEnd(yBegin, lf);
    const char* xBegin = yEnd;
    const char* xEnd = yEnd;
    if (yEnd < lf && ClassOf(*yEnd) == bcBlank) {
        xBegin = skip(yEnd);
        xEnd = WordEnd(xBegin, lf);
    }
    return {std::string_view(yBegin, static_cast<std::size_t>(yEnd - yBegin)),
            std::string_view(xBegin, static_cast<std::size_t>(xEnd - xBegin))};
}

void TDataFileParser::TakeWholeLine(const char* p, const char* const lf) {
    // The usual case of a line that lies whole in the piece: found with one memchr, and its words stored
    // with one append when one blank parts them.
    const TDataFileTable::TLineWords line = WordsOfLine(p, lf);
    std::string& words = table_.words_;
    table_.starts_.push_back(words.size());
    if (line.x.data() == line.y.data() + line.y.size() + 1 && line.y.data()[line.y.size()] == ' ') {
        words.append(line.y.data(), line.y.size() + 1 + line.x.size());
    } else {
        words += line.y;
        words += ' ';
        words += line.x;
    }
}

bool TDataFileParser::Longer(std::size_t bytes) {
    if (maxLineBytes_ != 0 && bytes > maxLineBytes_) {
        tooLong_ = true;
        full_ = true;
    }
    return tooLong_;
}

void TDataFileParser::Take(const char* p, const char* const end) {
    std::string& words = table_.words_;
    if (lineOpen_ && maxLineBytes_ != 0) {
        // The line begun in an earlier piece goes on up to this piece's first LF, or to its end.
        const void* lf = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
        lineBytes_ += static_cast<std::size_t>((lf != nullptr ? static_cast<const char*>(lf) : end) - p);
        if (Longer(lineBytes_)) {
            return;
        }
    }
    while (p < end) {
        if (!lineOpen_) {
            if (table_.starts_.size() >= maxLines_) {
                full_ = true;
                return;
            }
            if (const void* lf = std::memchr(p, '\n', static_cast<std::size_t>(end - p))) {
                if (Longer(static_cast<std::size_t>(static_cast<const char*>(lf) - p))) {
                    return;
                }
                TakeWholeLine(p, static_cast<const char*>(lf));
                p = static_cast<const char*>(lf) + 1;
                continue;
            }
            lineBytes_ = static_cast<std::size_t>(end - p);
            if (Longer(lineBytes_)) {
                return;
            }
            lineOpen_ = true;
            lineStart_ = words.size();
        }
        switch (state_) {
            case TState::BeforeY:
            case TState::BeforeX: {
                while (p < end && ClassOf(*p) == bcBlank) {
                    ++p;
                }
                if (p == end) {
                    return;
                }
                const unsigned char c = ClassOf(*p);
                if (c == bcLineFeed) {
                    ++p;
                    EndLine();
                } else if (c == bcNul) {
                    ++p;
                    if (state_ == TState::BeforeY) {
                        words += ' ';
                    }
                    state_ = TState::Rest;
                } else {
                    state_ = state_ == TState::BeforeY ? TState::InY : TState::InX;
                }
                break;
            }
            case TState::InY:
            case TState::InX: {
                const char* const start = p;
                while (p < end && ClassOf(*p) == bcWord) {
                    ++p;
                }
                words.append(start, static_cast<std::size_t>(p - start));
                if (p == end) {
                    return;  // the word may go on in the next piece
                }
                const unsigned char c = ClassOf(*p++);
                const bool inY = state_ == TState::InY;
                if (c == bcLineFeed) {
                    EndLine();
                } else {
                    if (inY) {
                        words += ' ';
                    }
                    // After Y's blank comes X; a NUL, or the blank after X, leaves the rest unread.
                    state_ = c == bcBlank && inY ? TState::BeforeX : TState::Rest;
                }
                break;
            }
            case TState::Rest: {
                const void* lf = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
                if (lf == nullptr) {
                    return;
                }
                p = static_cast<const char*>(lf) + 1;
                EndLine();
                break;
            }
        }
    }
}

void TDataFileParser::EndLine() {
    if (state_ == TState::BeforeY || state_ == TState::InY) {
        table_.words_ += ' ';  // the line ends before its X
    }
    table_.starts_.push_back(lineStart_);
    state_ = TState::BeforeY;
    lineOpen_ = false;
}

TDataReadStatus ReadDataTableFrom(const TByteSource& source, TDataFileTable& table, int maxLines) {
    table.Clear();
    return ReadInto(source, table, maxLines);
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

TDataReadStatus ReadDataTable(const std::string& path, TDataFileTable& table, const TReadProgress& progress,
                              std::size_t maxLineBytes) {
    const int fd = OpenRegularFile(path);
    if (fd < 0) {
        return TDataReadStatus::OpenFailed;
    }
    struct stat info = {};
    ::fstat(fd, &info);
    // Closed also when the memory runs out part way, so that the window does not leak the file.
    const TDescriptorCloser closer(fd);
    const auto size = static_cast<std::uint64_t>(info.st_size);
    if (size >= kTwoPartReadFrom && SecondCoreAvailable()) {
        return ReadDataTableInTwoParts(PositionalSource(fd), size, table, progress, maxLineBytes);
    }
    table.Clear();
    ReserveFor(table, size);
    return ReadInto(DescriptorSource(fd), table, kMaxTableRows, progress, size, maxLineBytes);
}

TDataReadStatus ReadDataTableFromDescriptor(int fd, TDataFileTable& table, std::size_t maxLineBytes) {
    table.Clear();
    return ReadInto(DescriptorSource(fd), table, kMaxTableRows, {}, 0, maxLineBytes);
}

TDataReadStatus ParseDataText(std::string_view text, TDataFileTable& table, int maxLines) {
    table.Clear();
    TDataFileParser parser(table, maxLines);
    if (!parser.Feed(text) || !parser.Finish()) {
        table.Clear();
        return TDataReadStatus::TooManyLines;
    }
    return TDataReadStatus::Ok;
}

}  // namespace quorvel

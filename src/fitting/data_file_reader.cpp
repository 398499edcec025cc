#include "fitting/data_file_reader.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>

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

}  // namespace

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

TDataFileParser::TDataFileParser(TDataFileTable& table, int maxLines, std::size_t maxLineBytes)
    : table_(table),
      maxLines_(static_cast<std::size_t>(std::max(maxLines, 0))),
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

void TDataFileParser::TakeWholeLine(const char* p, const char* const lf) {
    // The same rules as the byte-by-byte path below, for the usual case of a line that lies whole in
    // the piece: found with one memchr, and its words stored with one append when one blank parts them.
    const auto skip = [lf](const char* q, unsigned char cls) {
        while (q < lf && ClassOf(*q) == cls) {
            ++q;
        }
        return q;
    };
    const char* const yBegin = skip(p, bcBlank);
    const char* const yEnd = WordEnd(yBegin, lf);
    const char* xBegin = yEnd;
    const char* xEnd = yEnd;
    if (yEnd < lf && ClassOf(*yEnd) == bcBlank) {
        xBegin = skip(yEnd, bcBlank);
        xEnd = WordEnd(xBegin, lf);
    }
    std::string& words = table_.words_;
    table_.starts_.push_back(words.size());
    if (xBegin == yEnd + 1 && *yEnd == ' ') {
        words.append(yBegin, static_cast<std::size_t>(xEnd - yBegin));
    } else {
        words.append(yBegin, static_cast<std::size_t>(yEnd - yBegin));
        words += ' ';
        words.append(xBegin, static_cast<std::size_t>(xEnd - xBegin));
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
    table.Clear();
    // The words take at most the file's size, and lines are rarely shorter than 16 bytes; reserving
    // that spares copies while the table grows (untouched reserved pages cost no memory).
    const auto size = static_cast<std::size_t>(info.st_size);
    table.Reserve(std::min<std::size_t>(size, std::size_t{1} << 28),
                  std::min<std::size_t>(size / 16, kMaxTableRows));
    // Closed also when the memory runs out part way, so that the window does not leak the file.
    struct TCloser {
        int fd;
        ~TCloser() { ::close(fd); }
    } closer{fd};
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

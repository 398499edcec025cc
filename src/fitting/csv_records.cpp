#include "fitting/csv_records.h"

#include <algorithm>

#include "fitting/line_words.h"

namespace quorvel {

TCsvParser::TCsvParser(TCsvSeparator separator, ICsvRecordSink& sink, std::size_t maxRecordBytes)
    : separator_(static_cast<char>(separator)),
      blanks_(separator == TCsvSeparator::Blanks),
      sink_(sink),
      maxRecordBytes_(maxRecordBytes) {}

bool TCsvParser::Refuse(TCsvSyntaxFault fault) {
    fault_ = fault;
    faultLine_ = fault == TCsvSyntaxFault::UnclosedQuote ? record_.lines.back() : line_;
    faultField_ = std::max<std::size_t>(starts_.size(), 1);
    return false;
}

void TCsvParser::BeginField() {
    starts_.push_back(text_.size());
    record_.lines.push_back(line_);
}

void TCsvParser::EnterQuotes() {
    state_ = TState::Quoted;
    quotedCr_ = false;
}

void TCsvParser::EndField() {
    ends_.push_back(text_.size());
}

bool TCsvParser::EndRecord() {
    record_.fields.clear();
    for (std::size_t i = 0; i < starts_.size(); ++i) {
        record_.fields.emplace_back(text_.data() + starts_[i], ends_[i] - starts_[i]);
    }
    ++records_;
    const bool more = sink_.Record(record_);
    text_.clear();
    starts_.clear();
    ends_.clear();
    record_.lines.clear();
    recordBytes_ = 0;
    state_ = TState::RecordStart;
    if (!more) {
        stopped_ = true;
    }
    return more;
}

// A line end outside quotes: the open field, if any, and the record end there.
bool TCsvParser::LineEnd(char c) {
    switch (state_) {
        case TState::RecordStart:
        case TState::BetweenFields:
        case TState::AfterQuote:
            break;  // no field open
        case TState::FieldStart:
            BeginField();
            EndField();
            break;
        default:
            EndField();
            break;
    }
    skipLf_ = c == '\r';
    ++line_;
    return EndRecord();
}

bool TCsvParser::Step(char c) {
    if (skipLf_) {
        skipLf_ = false;
        if (c == '\n') {
            return true;  // the second half of a CR LF that ended the record
        }
    }
    const bool lineEnd = c == '\n' || c == '\r';
    const bool quoted = state_ == TState::Quoted;
    if (!lineEnd || quoted) {
        if (maxRecordBytes_ != 0 && ++recordBytes_ > maxRecordBytes_) {
            return Refuse(TCsvSyntaxFault::RecordTooLong);
        }
    }
    if (lineEnd && !quoted) {
        return LineEnd(c);
    }
    const bool separator = !blanks_ && c == separator_;
    const bool blank = IsBlank(c);
    switch (state_) {
        case TState::RecordStart:
        case TState::FieldStart:
        case TState::BetweenFields:
            if (blanks_ && blank) {
                state_ = TState::BetweenFields;
            } else if (c == '"') {
                BeginField();
                EnterQuotes();
            } else if (separator) {
                BeginField();
                EndField();
                state_ = TState::FieldStart;
            } else {
                BeginField();
                if (blank) {
                    blanksFrom_ = text_.size();
                    state_ = TState::LeadingBlanks;
                } else {
                    state_ = TState::Unquoted;
                }
                text_ += c;
            }
            break;
        case TState::LeadingBlanks:
            if (c == '"') {
                text_.resize(blanksFrom_);
                EnterQuotes();
            } else if (separator) {
                EndField();
                state_ = TState::FieldStart;
            } else {
                text_ += c;
                if (!blank) {
                    state_ = TState::Unquoted;
                }
            }
            break;
        case TState::Unquoted:
            if (separator) {
                EndField();
                state_ = TState::FieldStart;
            } else if (blanks_ && blank) {
                EndField();
                state_ = TState::BetweenFields;
            } else {
                text_ += c;
            }
            break;
        case TState::Quoted:
            if (c == '"') {
                state_ = TState::QuoteInQuoted;
            } else {
                // A line end inside the quotes is the field's: CR LF counts as one line.
                if (c == '\r' || (c == '\n' && !quotedCr_)) {
                    ++line_;
                }
                quotedCr_ = c == '\r';
                text_ += c;
            }
            break;
        case TState::QuoteInQuoted:
            if (c == '"') {
                text_ += c;
                EnterQuotes();
            } else if (separator) {
                EndField();
                state_ = TState::FieldStart;
            } else if (blank) {
                EndField();
                state_ = blanks_ ? TState::BetweenFields : TState::AfterQuote;
            } else {
                return Refuse(TCsvSyntaxFault::TextAfterQuote);
            }
            break;
        case TState::AfterQuote:
            if (separator) {
                state_ = TState::FieldStart;
            } else if (!blank) {
                return Refuse(TCsvSyntaxFault::TextAfterQuote);
            }
            break;
    }
    return true;
}

bool TCsvParser::Feed(std::string_view bytes) {
    if (fault_ != TCsvSyntaxFault::None || stopped_) {
        return false;
    }
    const char* p = bytes.data();
    const char* const end = p + bytes.size();
    if (atStart_) {
        const std::size_t held = head_.size();
        const auto more = std::min(bytes.size(), kByteOrderMark.size() - held);
        head_.append(p, more);
        p += more;
        const TMarkMatch match = MatchByteOrderMark(head_, false);
        if (match == TMarkMatch::NotYet) {
            return true;
        }
        atStart_ = false;
        if (match == TMarkMatch::No) {
            const std::string head = std::move(head_);
            if (!Feed(head)) {
                return false;
            }
        }
        head_.clear();
    }
    while (p < end) {
        if (state_ == TState::Unquoted) {
            // The usual field: its bytes up to the next one that means something, at once.
            const char* q = p;
            while (q < end && *q != separator_ && *q != '\n' && *q != '\r' && !(blanks_ && IsBlank(*q))) {
                ++q;
            }
            if (q > p) {
                if (maxRecordBytes_ != 0 &&
                    (recordBytes_ += static_cast<std::size_t>(q - p)) > maxRecordBytes_) {
                    return Refuse(TCsvSyntaxFault::RecordTooLong);
                }
                text_.append(p, static_cast<std::size_t>(q - p));
                p = q;
                continue;
            }
        }
        if (!Step(*p++)) {
            return false;
        }
    }
    return true;
}

bool TCsvParser::Finish() {
    if (fault_ != TCsvSyntaxFault::None || stopped_) {
        return false;
    }
    if (atStart_) {
        // Bytes held back as the start of a mark are text after all.
        atStart_ = false;
        const std::string head = std::move(head_);
        head_.clear();
        if (!Feed(head)) {
            return false;
        }
    }
    switch (state_) {
        case TState::RecordStart:
            return true;  // the text ended with a line end
        case TState::Quoted:
            return Refuse(TCsvSyntaxFault::UnclosedQuote);
        case TState::BetweenFields:
            return EndRecord();
        case TState::FieldStart:
            BeginField();
            EndField();
            return EndRecord();
        case TState::AfterQuote:
            return EndRecord();
        default:
            EndField();
            return EndRecord();
    }
}

void TCsvParser::Abandon() {
    text_.clear();
    starts_.clear();
    ends_.clear();
    record_.lines.clear();
    stopped_ = true;
}

}  // namespace quorvel

#pragma once
// The records of a table saved as CSV by a spreadsheet or a data logger, as its bytes arrive in pieces:
//   - A UTF-8 byte-order mark at the very start is skipped.
//   - A record ends at a line end outside quotes: LF, CR LF or CR alone. A last record needs none; a
//     line end at the very end of the text opens no further record.
//   - Fields part at the separator outside quotes. With blanks as the separator, every run of blanks and
//     tabs parts two fields, and blanks at the start or end of a line part nothing (a line of blanks
//     alone has no field).
//   - A field whose first byte other than blanks is a double quote is quoted: the blanks before the
//     quote are dropped, and the field runs up to the next quote that is not doubled, "" standing for one
//     quote; separators and line ends inside belong to the field. Only blanks and tabs may follow the
//     closing quote before the separator or the line end; they are dropped.
//   - A quote inside a field that is not quoted is a byte of the field.
//   - A quoted field not closed before the text ends, and text after a closing quote, refuse the text.
// "Blanks" are spaces (and tabs, where the tab is not the separator).
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "fitting/text_lines.h"

namespace quorvel {

enum class TCsvSeparator : char { Comma = ',', Semicolon = ';', Tab = '\t', Blanks = ' ' };

// One record: its fields' texts, and the line (from 1) each field begins on.
struct TCsvRecord {
    std::vector<std::string_view> fields;
    std::vector<std::size_t> lines;
};

class ICsvRecordSink {
public:
    virtual ~ICsvRecordSink() = default;
    // The next record; false stops the reading.
    virtual bool Record(const TCsvRecord& record) = 0;
};

enum class TCsvSyntaxFault {
    None,
    UnclosedQuote,   // a quoted field runs to the end of the text
    TextAfterQuote,  // a byte other than a blank follows a closing quote
    RecordTooLong,   // a record is longer than the limit asked for
};

// Cuts the bytes into records for the sink; fed by FeedInOrder as any line format is.
class TCsvParser final : public ILineFeed {
public:
    // maxRecordBytes: the longest record taken (0: any), so that input without line ends ends.
    TCsvParser(TCsvSeparator separator, ICsvRecordSink& sink, std::size_t maxRecordBytes = 0);

    bool Feed(std::string_view bytes) override;
    bool Finish() override;
    void Abandon() override;

    TCsvSyntaxFault Fault() const { return fault_; }
    // Where the fault lies: the line (from 1) and the field (from 1) it was found in.
    std::size_t FaultLine() const { return faultLine_; }
    std::size_t FaultField() const { return faultField_; }
    // Whether the sink stopped the reading.
    bool Stopped() const { return stopped_; }
    // Records handed to the sink.
    std::size_t Records() const { return records_; }

private:
    enum class TState {
        RecordStart,    // nothing of the record yet
        FieldStart,     // after a separator
        LeadingBlanks,  // blanks at a field's start, which a quote may yet drop
        Unquoted,
        Quoted,
        QuoteInQuoted,  // a quote inside a quoted field: doubled, or the field's end
        AfterQuote,     // blanks after a closing quote
        BetweenFields,  // blanks as the separator: in a run of blanks
    };
    bool Step(char c);
    bool LineEnd(char c);
    void BeginField();
    void EndField();
    void EnterQuotes();
    bool EndRecord();
    bool Refuse(TCsvSyntaxFault fault);
    bool IsBlank(char c) const { return c == ' ' || (c == '\t' && separator_ != '\t'); }

    char separator_;
    bool blanks_;
    ICsvRecordSink& sink_;
    std::size_t maxRecordBytes_;
    TState state_ = TState::RecordStart;
    bool atStart_ = true;    // the byte-order mark may still come
    std::string head_;       // bytes held while they may be the mark
    bool skipLf_ = false;    // a CR ended the last line: an LF next is part of that line end
    bool quotedCr_ = false;  // the last byte inside quotes was a CR: an LF next ends no further line
    std::size_t line_ = 1;   // the line the next byte is on
    std::size_t recordBytes_ = 0;
    std::string text_;                 // the record's field texts, one after the other
    std::vector<std::size_t> ends_;    // where each field ended in text_
    std::vector<std::size_t> starts_;  // where each field began in text_
    std::size_t blanksFrom_ = 0;       // LeadingBlanks: where the field's blanks began in text_
    TCsvRecord record_;
    TCsvSyntaxFault fault_ = TCsvSyntaxFault::None;
    std::size_t faultLine_ = 0;
    std::size_t faultField_ = 0;
    bool stopped_ = false;
    std::size_t records_ = 0;
};

}  // namespace quorvel

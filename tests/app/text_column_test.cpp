#include "app/text_column.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace quorvel {
namespace {

void ExpectSameTexts(const TTextColumn& column, const std::vector<std::string>& model) {
    ASSERT_EQ(column.size(), model.size());
    for (std::size_t row = 0; row < model.size(); ++row) {
        ASSERT_EQ(column.Text(row), model[row]) << "row " << row;
    }
}

// Random rewrites, cuts and growths, enough for the dropping of unused bytes to happen many times,
// held against a vector of strings; one text too long for an entry's length.
TEST(TextColumn, KeepsEveryTextThroughRewritesAndCompaction) {
    std::mt19937_64 rng(4242);
    TTextColumn column;
    std::vector<std::string> model;
    const std::string longText(std::size_t{1} << 24, 'L');
    for (int step = 0; step < 60000; ++step) {
        const unsigned what = rng() % 100;
        if (what < 2) {
            const std::size_t rows = rng() % 3000;
            column.resize(rows);
            model.resize(rows);
        } else if (what < 3) {
            column.shrink_to_fit();
        } else if (!model.empty()) {
            const std::size_t row = rng() % model.size();
            std::string text =
                what < 10 ? std::string() : std::to_string(rng() % 100000) + "." + std::to_string(step);
            if (step == 30000) {
                text = longText;
            }
            column.SetText(row, text);
            model[row] = text;
        }
        if (step % 5000 == 0) {
            ExpectSameTexts(column, model);
        }
    }
    ExpectSameTexts(column, model);
}

// A held column gives a changed cell its old text back from its entry, long texts included, however
// much was written meanwhile.
TEST(TextColumn, HeldEntriesBringTheOldTextsBack) {
    TTextColumn column;
    column.resize(1000);
    std::vector<std::string> before(1000);
    for (std::size_t row = 0; row < before.size(); ++row) {
        before[row] = row == 7 ? std::string(std::size_t{1} << 24, 'x') : "old " + std::to_string(row);
        column.SetText(row, before[row]);
    }
    std::vector<std::uint64_t> entries;
    column.Hold(true);
    for (std::size_t row = 0; row < before.size(); ++row) {
        entries.push_back(column.Entry(row));
        column.SetText(row, std::string(100, 'n'));
    }
    column.resize(500);
    column.resize(1000);
    for (std::size_t row = entries.size(); row-- > 0;) {
        column.SetEntry(row, entries[row]);
    }
    column.Hold(false);
    ExpectSameTexts(column, before);
    column.shrink_to_fit();
    ExpectSameTexts(column, before);
}

}  // namespace
}  // namespace quorvel

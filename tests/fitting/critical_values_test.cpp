// The 95 % critical values against a table worked out independently to 45 digits (data/critical_values.py,
// root finding on the distribution functions in mpmath): each must be the double nearest to the table's
// value, for every ν = 1 … 100 and for large ν.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fitting/critical_values.h"

namespace quorvel {
namespace {

struct TCriticalRow {
    int nu = 0;
    std::string t;    // t(0.975; ν)
    std::string chi;  // χ²(0.95; ν)
};

std::vector<TCriticalRow> CriticalTable() {
    std::ifstream in(QUORVEL_SOURCE_DIR "/tests/fitting/data/critical_values.txt");
    std::vector<TCriticalRow> rows;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream words(line);
        TCriticalRow row;
        words >> row.nu >> row.t >> row.chi;
        rows.push_back(row);
    }
    return rows;
}

// strtod rounds the 45 digits once, to the nearest double: the expectation is made without this code.
double Nearest(const std::string& digits) {
    return std::strtod(digits.c_str(), nullptr);
}

TEST(CriticalValues, NearestDoubleToTheTableForEveryDegreeOfFreedom) {
    const std::vector<TCriticalRow> rows = CriticalTable();
    ASSERT_EQ(rows.size(), 107u);
    for (const TCriticalRow& row : rows) {
        EXPECT_EQ(CoverageFactor95(row.nu), Nearest(row.t)) << "t, ν = " << row.nu << ": " << row.t;
        EXPECT_EQ(ChiSquaredCritical95(row.nu), Nearest(row.chi)) << "χ², ν = " << row.nu << ": " << row.chi;
    }
}

}  // namespace
}  // namespace quorvel

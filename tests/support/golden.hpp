#pragma once

// Files under tests/data: golden outputs and the tables of table-driven tests. Each test program
// is built with KELVO_TEST_DATA_DIR naming that folder.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace kelvo::testing {

inline std::string dataPath(std::string_view name) {
    return std::string(KELVO_TEST_DATA_DIR) + "/" + std::string(name);
}

inline std::string readData(std::string_view name) {
    std::ifstream in(dataPath(name), std::ios::binary);
    EXPECT_TRUE(in.good()) << "missing test data " << name;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Compares `actual` with a golden file, or rewrites the file when KELVO_UPDATE_GOLDEN is set.
inline void expectGolden(std::string_view name, const std::string& actual) {
    if (std::getenv("KELVO_UPDATE_GOLDEN") != nullptr) {
        std::ofstream(dataPath(name), std::ios::binary) << actual;
        return;
    }
    EXPECT_EQ(actual, readData(name)) << "golden " << name;
}

// The lines of a data file, without blank lines and lines that start with '#'.
inline std::vector<std::string> readLines(std::string_view name) {
    std::vector<std::string> lines;
    std::istringstream text(readData(name));
    for (std::string line; std::getline(text, line);) {
        if (!line.empty() && line[0] != '#') lines.push_back(line);
    }
    return lines;
}

// A table cell's text, where "\\xHH" stands for the byte HH.
inline std::string unescapedCell(std::string_view cell) {
    std::string text;
    for (std::size_t i = 0; i < cell.size(); ++i) {
        if (cell.substr(i, 2) == "\\x") {
            text += static_cast<char>(std::stoi(std::string(cell.substr(i + 2, 2)), nullptr, 16));
            i += 3;
        } else {
            text += cell[i];
        }
    }
    return text;
}

// The rows of a table file: one row a line, cells apart by spaces.
inline std::vector<std::vector<std::string>> readTable(std::string_view name) {
    std::vector<std::vector<std::string>> rows;
    for (const std::string& line : readLines(name)) {
        std::istringstream cells(line);
        auto& row = rows.emplace_back();
        for (std::string cell; cells >> cell;) row.push_back(cell);
    }
    return rows;
}

}  // namespace kelvo::testing

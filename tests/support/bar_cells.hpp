#pragma once

// Rows of the data tables whose cells stand apart by '|'.

#include <sstream>
#include <string>
#include <vector>

namespace kelvo::testing {

// The cells of a table line, apart by '|', without the spaces around them.
inline std::vector<std::string> barCellsOf(const std::string& line) {
    std::vector<std::string> cells;
    std::istringstream in(line);
    for (std::string cell; std::getline(in, cell, '|');) {
        const std::size_t first = cell.find_first_not_of(' ');
        const std::size_t last = cell.find_last_not_of(' ');
        cells.push_back(first == std::string::npos ? "" : cell.substr(first, last - first + 1));
    }
    return cells;
}

}  // namespace kelvo::testing

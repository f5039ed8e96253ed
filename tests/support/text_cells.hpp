#pragma once

// Cells of the text-editing tables: quoted texts and selection ranges.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "widgets/widget_description.hpp"

namespace kelvo::testing {

// A quoted cell: \xNN bytes and {c*N} runs.
inline std::string unquote(const std::string& cell) {
    std::string text;
    for (std::size_t i = 1; i + 1 < cell.size(); ++i) {
        if (cell.compare(i, 2, "\\x") == 0) {
            text += static_cast<char>(std::stoi(cell.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else if (cell[i] == '{') {
            const std::size_t close = cell.find('}', i);
            text.append(std::stoul(cell.substr(i + 3, close - i - 3)), cell[i + 1]);
            i = close;
        } else {
            text += cell[i];
        }
    }
    return text;
}

// The cells of a row: quoted texts (which may hold spaces) and bare words.
inline std::vector<std::string> cellsOf(const std::string& line) {
    std::vector<std::string> cells;
    for (std::size_t i = 0; i < line.size();) {
        if (line[i] == ' ') {
            ++i;
            continue;
        }
        const std::size_t end = line[i] == '"' ? line.find('"', i + 1) + 1 : std::min(line.find(' ', i), line.size());
        cells.push_back(line.substr(i, end - i));
        i = end;
    }
    return cells;
}

inline std::optional<WidgetTextRange> rangeOf(const std::string& cell) {
    if (cell == "-") return std::nullopt;
    const std::size_t comma = cell.find(',');
    return WidgetTextRange{std::stoull(cell.substr(0, comma)), std::stoull(cell.substr(comma + 1))};
}

inline std::string rangeText(const std::optional<WidgetTextRange>& range) {
    return range ? std::to_string(range->start) + "," + std::to_string(range->end) : "-";
}

}  // namespace kelvo::testing

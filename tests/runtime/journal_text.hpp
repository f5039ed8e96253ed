#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/types/platform_event.hpp"

namespace kelvo::testing {

using Bytes = std::vector<std::uint8_t>;

// Splits a session journal into its records (kind byte, little-endian u32 length, payload).
inline std::vector<Bytes> splitJournal(const Bytes& bytes) {
    std::vector<Bytes> records;
    std::size_t at = 0;
    while (at + 5 <= bytes.size()) {
        const std::uint32_t length =
            bytes[at + 1] | bytes[at + 2] << 8 | bytes[at + 3] << 16 | static_cast<std::uint32_t>(bytes[at + 4]) << 24;
        const std::size_t end = std::min(bytes.size(), at + 5 + length);
        records.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                             bytes.begin() + static_cast<std::ptrdiff_t>(end));
        at = end;
    }
    EXPECT_EQ(at, bytes.size()) << "trailing bytes in the journal";
    return records;
}

// A record's bytes as two-digit hexadecimal words.
inline std::vector<std::string> hexWords(const Bytes& record) {
    std::vector<std::string> words;
    for (std::uint8_t byte : record) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", byte);
        words.emplace_back(pair);
    }
    return words;
}

// The journal as text: one record a line in hexadecimal, each after a "#" line naming it.
inline std::string journalText(const Bytes& bytes) {
    std::string out;
    for (const Bytes& record : splitJournal(bytes)) {
        std::string name = record[0] == 4 ? "checkpoint" : record[0] == 5 ? "screenshot" : "end";
        if (record[0] == 2) {
            Result<PlatformEventKind> kind = platformEventKindFromTag(record.size() > 5 ? record[5] - 1u : 99u);
            name = kind ? std::string(platformEventKindName(*kind)) : "event?";
        }
        out += "# " + name + "\n";
        std::vector<std::string> words = hexWords(record);
        for (std::size_t i = 0; i < words.size(); ++i) out += (i ? " " : "") + words[i];
        out += "\n";
    }
    return out;
}

}  // namespace kelvo::testing

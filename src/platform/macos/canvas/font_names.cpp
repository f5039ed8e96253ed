#include "platform/macos/canvas/font_names.hpp"

#include <algorithm>
#include <optional>

#include "base/byte_order.hpp"

namespace kelvo {

namespace {

constexpr std::uint16_t kFamilyName = 1;
constexpr std::uint16_t kSubfamilyName = 2;
constexpr std::uint16_t kFullName = 4;
constexpr std::uint16_t kPostScriptName = 6;
constexpr std::size_t kMaxNameBytes = 256;

std::optional<std::uint16_t> u16At(std::span<const std::uint8_t> data, std::uint64_t at) {
    if (at > data.size() || data.size() - at < 2) return std::nullopt;
    return static_cast<std::uint16_t>(data[at] << 8 | data[at + 1]);
}

std::optional<std::uint32_t> u32At(std::span<const std::uint8_t> data, std::uint64_t at) {
    if (at > data.size() || data.size() - at < 4) return std::nullopt;
    return loadBigEndian32(data.data() + at);
}

// The name table's bytes, or an empty span.
std::span<const std::uint8_t> nameTable(std::span<const std::uint8_t> data) {
    std::optional<std::uint16_t> count = u16At(data, 4);
    for (std::uint32_t i = 0; count && i < *count; ++i) {
        std::uint64_t record = 12 + std::uint64_t{i} * 16;
        std::optional<std::uint32_t> tag = u32At(data, record);
        std::optional<std::uint32_t> offset = u32At(data, record + 8);
        std::optional<std::uint32_t> length = u32At(data, record + 12);
        if (!tag || !offset || !length) return {};
        if (*tag != 0x6E616D65u) continue;  // "name"
        if (*offset > data.size() || data.size() - *offset < *length) return {};
        return data.subspan(*offset, *length);
    }
    return {};
}

// UTF-16BE (Windows platform) or single-byte (Macintosh platform, ASCII kept) text as UTF-8.
std::string nameText(std::span<const std::uint8_t> bytes, bool utf16) {
    std::string text;
    if (!utf16) {
        for (std::uint8_t byte : bytes) text.push_back(byte < 0x80 ? static_cast<char>(byte) : '?');
        return text;
    }
    for (std::size_t at = 0; at + 1 < bytes.size(); at += 2) {
        std::uint32_t unit = std::uint32_t{bytes[at]} << 8 | bytes[at + 1];
        if (unit >= 0xD800 && unit <= 0xDFFF) unit = 0xFFFD;  // the names looked up are in the basic plane
        if (unit < 0x80) {
            text.push_back(static_cast<char>(unit));
        } else if (unit < 0x800) {
            text.push_back(static_cast<char>(0xC0 | unit >> 6));
            text.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
        } else {
            text.push_back(static_cast<char>(0xE0 | unit >> 12));
            text.push_back(static_cast<char>(0x80 | (unit >> 6 & 0x3F)));
            text.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
        }
    }
    return text;
}

struct FaceNames {
    std::string family;
    std::string subfamily;
    std::string full;
    std::string postScript;
};

// Windows Unicode names are preferred; Macintosh Roman ones fill what is still missing.
void readNames(std::span<const std::uint8_t> table, FaceNames& names) {
    std::optional<std::uint16_t> count = u16At(table, 2);
    std::optional<std::uint16_t> storage = u16At(table, 4);
    if (!count || !storage) return;
    for (int pass = 0; pass < 2; ++pass) {
        for (std::uint32_t i = 0; i < *count; ++i) {
            std::uint64_t record = 6 + std::uint64_t{i} * 12;
            std::optional<std::uint16_t> platform = u16At(table, record);
            std::optional<std::uint16_t> encoding = u16At(table, record + 2);
            std::optional<std::uint16_t> id = u16At(table, record + 6);
            std::optional<std::uint16_t> length = u16At(table, record + 8);
            std::optional<std::uint16_t> offset = u16At(table, record + 10);
            if (!platform || !encoding || !id || !length || !offset) return;
            bool windows = *platform == 3 && (*encoding == 1 || *encoding == 10);
            bool mac = *platform == 1 && *encoding == 0;
            if (pass == 0 ? !windows : !mac) continue;
            std::uint64_t start = std::uint64_t{*storage} + *offset;
            if (start > table.size() || table.size() - start < *length || *length > kMaxNameBytes * 2) continue;
            std::string* slot = *id == kFamilyName       ? &names.family
                                : *id == kSubfamilyName  ? &names.subfamily
                                : *id == kFullName       ? &names.full
                                : *id == kPostScriptName ? &names.postScript
                                                         : nullptr;
            if (slot != nullptr && slot->empty()) *slot = nameText(table.subspan(start, *length), windows);
        }
    }
}

}  // namespace

std::vector<std::string> fontFaceNames(std::span<const std::uint8_t> data) {
    FaceNames names;
    readNames(nameTable(data), names);
    std::vector<std::string> found;
    auto add = [&](const std::string& name) {
        if (!name.empty() && std::find(found.begin(), found.end(), name) == found.end()) found.push_back(name);
    };
    add(names.full);
    add(names.postScript);
    if (names.subfamily == "Regular" || names.subfamily.empty()) add(names.family);
    return found;
}

}  // namespace kelvo

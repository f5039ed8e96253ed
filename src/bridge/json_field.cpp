#include "bridge/json_field.hpp"

#include "bridge/json_scan.hpp"
#include "bridge/json_scan_engine.hpp"

namespace kelvo {

std::optional<std::string_view> fieldValue(std::string_view json, std::string_view name) {
    auto skipSpace = [&](std::size_t& pos) { json_detail::skipClass(json_detail::kByteClasses.asciiSpace, json, pos); };
    std::size_t pos = 0;
    skipSpace(pos);
    if (pos >= json.size() || json[pos] != '{') return std::nullopt;
    ++pos;
    for (;;) {
        skipSpace(pos);
        if (pos >= json.size() || json[pos] != '"') return std::nullopt;
        std::size_t keyStart = pos;
        if (!skipValueSpan(json, pos)) return std::nullopt;
        std::string_view key = json.substr(keyStart + 1, pos - keyStart - 2);
        skipSpace(pos);
        if (pos >= json.size() || json[pos] != ':') return std::nullopt;
        ++pos;
        skipSpace(pos);
        std::size_t valueStart = pos;
        if (!skipValueSpan(json, pos)) return std::nullopt;
        if (key == name) return json.substr(valueStart, pos - valueStart);
        skipSpace(pos);
        if (pos >= json.size() || json[pos] != ',') return std::nullopt;
        ++pos;
    }
}

}  // namespace kelvo

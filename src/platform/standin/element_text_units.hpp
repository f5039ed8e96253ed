#pragma once

// The stretches of a canvas widget's text that assistive technology reads it by: characters,
// words and lines, each as the stretch at an offset, the one before it or the one after it.
// Offsets count characters (an invalid UTF-8 unit counts as one).
//
// Each unit has its boundaries, and a stretch runs from one boundary to the next: the stretch at
// an offset from the last boundary at or before it to the first one after it (the end of the
// text when there is none), the stretch before it ends where that one starts, the stretch after
// it starts where that one ends. Words are runs of word characters as the text entries move by
// them (ASCII letters, digits, the underscore and every character beyond ASCII). A word's start
// is a boundary of word_start (its stretch keeps the spaces after the word), a word's end one of
// word_end (its stretch keeps the spaces before it). Lines end at line feeds (a carriage return
// right before one belongs to the break): the start of a line is a boundary of line_start (its
// stretch ends with the break), the place of a break one of line_end (its stretch starts with
// the break before it).
//
// Header-only: the backends beneath the host use it as the host does.

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

#include "base/utf8.hpp"

namespace kelvo::standin {

enum class ElementTextUnit : std::uint8_t { character, word_start, word_end, line_start, line_end };
enum class ElementTextPlace : std::uint8_t { at, before, after };

// Characters [start, end).
struct ElementTextStretch {
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    friend bool operator==(const ElementTextStretch&, const ElementTextStretch&) = default;
};

namespace element_text_detail {

enum class CharacterClass : std::uint8_t { word, line_feed, carriage_return, other };

inline CharacterClass classOf(unsigned char first) {
    if (first == '\n') return CharacterClass::line_feed;
    if (first == '\r') return CharacterClass::carriage_return;
    const bool word = (first >= 'a' && first <= 'z') || (first >= 'A' && first <= 'Z') ||
                      (first >= '0' && first <= '9') || first == '_' || first >= 0x80;
    return word ? CharacterClass::word : CharacterClass::other;
}

inline std::vector<CharacterClass> classesOf(std::string_view text) {
    std::vector<CharacterClass> classes;
    for (std::size_t at = 0; at < text.size();) {
        classes.push_back(classOf(static_cast<unsigned char>(text[at])));
        at += std::max<std::size_t>(utf8UnitAt(text, at).length, 1);
    }
    return classes;
}

// Whether place `i` (0 to the character count) is a boundary of `unit`.
inline bool isBoundary(const std::vector<CharacterClass>& c, ElementTextUnit unit, std::size_t i) {
    const std::size_t n = c.size();
    const auto is = [&](std::size_t at, CharacterClass kind) { return at < n && c[at] == kind; };
    switch (unit) {
        case ElementTextUnit::character:
            return true;
        case ElementTextUnit::word_start:
            return is(i, CharacterClass::word) && (i == 0 || !is(i - 1, CharacterClass::word));
        case ElementTextUnit::word_end:
            return i > 0 && is(i - 1, CharacterClass::word) && !is(i, CharacterClass::word);
        case ElementTextUnit::line_start:
            return i == 0 || is(i - 1, CharacterClass::line_feed);
        case ElementTextUnit::line_end:
            if (is(i, CharacterClass::carriage_return)) return is(i + 1, CharacterClass::line_feed);
            return is(i, CharacterClass::line_feed) && !(i > 0 && is(i - 1, CharacterClass::carriage_return));
    }
    return false;
}

}  // namespace element_text_detail

// The stretch of `unit` at, before or after character `offset` of `text` (an offset past the end
// stands for the end). An empty stretch where there is none (before the first, after the last).
inline ElementTextStretch elementTextStretch(std::string_view text, ElementTextUnit unit, ElementTextPlace place,
                                             std::uint64_t offset) {
    using namespace element_text_detail;
    const std::vector<CharacterClass> classes = classesOf(text);
    const std::size_t n = classes.size();
    const auto boundary = [&](std::size_t i) { return isBoundary(classes, unit, i); };
    // The last boundary at or before `i` (else 0), and the first after it (else the end).
    const auto floor = [&](std::size_t i) {
        while (i > 0 && !boundary(i)) --i;
        return i;
    };
    const auto next = [&](std::size_t i) {
        if (i >= n) return n;
        ++i;
        while (i < n && !boundary(i)) ++i;
        return i;
    };
    const std::size_t at = static_cast<std::size_t>(std::min<std::uint64_t>(offset, n));
    switch (place) {
        case ElementTextPlace::at:
            return {floor(at), next(at)};
        case ElementTextPlace::before: {
            const std::size_t end = floor(at);
            return {end == 0 ? 0 : floor(end - 1), end};
        }
        case ElementTextPlace::after: {
            const std::size_t start = next(at);
            return {start, next(start)};
        }
    }
    return {};
}

}  // namespace kelvo::standin

#pragma once

// A canvas view's stored display list and the staging list a refresh builds. Both own what their
// commands refer to: every slice of a copied command points into the owner's fixed pools.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

#include "base/error.hpp"
#include "widgets/commands.hpp"

namespace kelvo {

inline constexpr std::size_t kMaxCanvasCommands = 2048;
inline constexpr std::size_t kCanvasGradientStopCapacity = 64;
inline constexpr std::size_t kCanvasPathElementCapacity = 2048;
inline constexpr std::size_t kCanvasGlyphCapacity = 8192;
// Room for every text a view's widgets hold (their text store takes 65,536 bytes) and as much
// again for the texts drawing composes (chart values and hover details). A text drawn again right
// after itself (the selected glyphs of an entry, once per selection rectangle) refers to the copy
// already in the pool, so no text an entry accepts can keep its view from drawing.
inline constexpr std::size_t kCanvasTextCapacity = 131072;

// The text a pool took last, where its bytes can be read. A text with the same bytes is not
// copied again. (Emitters compose texts in buffers they reuse: only the bytes tell.)
struct CanvasPooledText {
    const char* bytes = nullptr;
    std::size_t size = 0;

    [[nodiscard]] bool repeats(std::string_view text) const {
        return !text.empty() && text.size() == size && std::memcmp(text.data(), bytes, size) == 0;
    }
};

// The four pools a list's slices point into, each filled from the start.
struct CanvasDisplayListPools {
    std::array<GradientStop, kCanvasGradientStopCapacity> stops{};
    std::array<PathElement, kCanvasPathElementCapacity> elements{};
    std::array<PositionedGlyph, kCanvasGlyphCapacity> glyphs{};
    std::array<char, kCanvasTextCapacity> text{};
    std::uint32_t stop_count = 0;
    std::uint32_t element_count = 0;
    std::uint32_t glyph_count = 0;
    std::uint32_t text_length = 0;
    CanvasPooledText last_text;
};

// The list a view draws. It is replaced whole by each successful copy, never edited in place, and
// its revision grows by one with every successful copy.
struct CanvasDisplayList {
    std::array<CanvasCommand, kMaxCanvasCommands> items{};
    std::uint32_t count = 0;
    CanvasDisplayListPools pools;
    std::uint64_t revision = 0;

    [[nodiscard]] std::span<const CanvasCommand> commands() const { return {items.data(), count}; }
};

// Replaces the list by a deep copy of `commands`. Every capacity is checked before anything is
// written, so a failure leaves commands, pools and revision as they were: more than 2,048 commands
// (CanvasCommandLimitReached), then the pool totals in command order (a path's elements before its
// gradient stops, a text's bytes before its glyphs; a text repeating the text before it costs
// nothing). Passing the list's own commands only advances
// the revision; a source that points into the list's storage in any other way is copied through a
// per-thread staging list, so aliasing never corrupts the result.
Status copyCanvasDisplayList(CanvasDisplayList& list, std::span<const CanvasCommand> commands);

// The command array of a staging list: the caller's storage with its capacity.
struct CanvasCommandArray {
    CanvasCommand* items = nullptr;
    std::size_t capacity = 0;
    std::size_t count = 0;

    [[nodiscard]] std::span<const CanvasCommand> commands() const { return {items, count}; }
};

// The pools of a list under construction; one refresh owns it and empties it before each build.
struct CanvasDisplayListScratch {
    CanvasDisplayListPools pools;

    void reset() {
        pools.stop_count = pools.element_count = pools.glyph_count = pools.text_length = 0;
        pools.last_text = {};
    }

    // Appends a deep copy of `command`: its slices go to the pools first (a path's elements, then
    // its stops; a text's bytes, then its glyphs), then the command to the array (DisplayListFull
    // when the array is full). Pool space taken by a command that fails stays taken until reset.
    Status appendCopiedCommand(CanvasCommandArray& array, const CanvasCommand& command);
};

}  // namespace kelvo

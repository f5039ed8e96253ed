#include "widgets/display_list.hpp"

#include <cstring>

#include "widgets/thread_scratch.hpp"

namespace kelvo {

namespace {

// Calls `visit` on every slice a command refers to, in the order the pools are charged: a path's
// elements before its paint's stops, a text's bytes before its glyphs. The visitor may re-point
// the slice; it returns a Status and the first error ends the walk.
template <class Visitor>
Status forEachCommandSlice(CanvasCommand& command, Visitor&& visit) {
    auto stopsOf = [&](Paint& paint) -> Status {
        if (paint.kind != PaintKind::linear_gradient) return {};
        return visit(paint.gradient.stops);
    };
    switch (static_cast<CanvasCommandTag>(canvasCommandTagBits(command))) {
        case CanvasCommandTag::fill_rect:
            return stopsOf(command.fill_rect.paint);
        case CanvasCommandTag::stroke_rect:
            return stopsOf(command.stroke_rect.stroke.paint);
        case CanvasCommandTag::fill_rounded_rect:
            return stopsOf(command.fill_rounded_rect.paint);
        case CanvasCommandTag::draw_line:
            return stopsOf(command.draw_line.stroke.paint);
        case CanvasCommandTag::fill_path:
            TRY(visit(command.fill_path.elements));
            return stopsOf(command.fill_path.paint);
        case CanvasCommandTag::stroke_path:
            TRY(visit(command.stroke_path.elements));
            return stopsOf(command.stroke_path.stroke.paint);
        case CanvasCommandTag::draw_text:
            TRY(visit(command.draw_text.text));
            return visit(command.draw_text.glyphs);
        default:
            return {};
    }
}

// Running pool totals against the capacities, with the error each pool reports.
struct PoolTotals {
    std::size_t stops = 0;
    std::size_t elements = 0;
    std::size_t glyphs = 0;
    std::size_t text = 0;

    Status operator()(std::span<const GradientStop>& slice) {
        stops += slice.size();
        return stops > kCanvasGradientStopCapacity ? fail(Error::CanvasGradientStopLimitReached) : Status{};
    }
    Status operator()(std::span<const PathElement>& slice) {
        elements += slice.size();
        return elements > kCanvasPathElementCapacity ? fail(Error::CanvasPathElementLimitReached) : Status{};
    }
    Status operator()(std::string_view& slice) {
        text += slice.size();
        return text > kCanvasTextCapacity ? fail(Error::CanvasTextTooLarge) : Status{};
    }
    Status operator()(std::span<const PositionedGlyph>& slice) {
        glyphs += slice.size();
        return glyphs > kCanvasGlyphCapacity ? fail(Error::CanvasGlyphLimitReached) : Status{};
    }
};

template <class T, std::size_t N>
std::span<const T> appendToPool(std::array<T, N>& pool, std::uint32_t& used, std::span<const T> slice) {
    T* at = pool.data() + used;
    if (!slice.empty()) std::memcpy(static_cast<void*>(at), slice.data(), slice.size() * sizeof(T));
    used += static_cast<std::uint32_t>(slice.size());
    return {at, slice.size()};
}

// Copies each slice to the end of its pool and re-points it there. Each pool is checked before it
// is written, with the error of that pool.
struct PoolAppender {
    CanvasDisplayListPools& pools;

    Status operator()(std::span<const GradientStop>& slice) {
        if (slice.size() > kCanvasGradientStopCapacity - pools.stop_count) {
            return fail(Error::CanvasGradientStopLimitReached);
        }
        slice = appendToPool(pools.stops, pools.stop_count, slice);
        return {};
    }
    Status operator()(std::span<const PathElement>& slice) {
        if (slice.size() > kCanvasPathElementCapacity - pools.element_count) {
            return fail(Error::CanvasPathElementLimitReached);
        }
        slice = appendToPool(pools.elements, pools.element_count, slice);
        return {};
    }
    Status operator()(std::string_view& slice) {
        if (slice.size() > kCanvasTextCapacity - pools.text_length) return fail(Error::CanvasTextTooLarge);
        std::span<const char> copied = appendToPool(pools.text, pools.text_length, std::span<const char>(slice));
        slice = {copied.data(), copied.size()};
        return {};
    }
    Status operator()(std::span<const PositionedGlyph>& slice) {
        if (slice.size() > kCanvasGlyphCapacity - pools.glyph_count) return fail(Error::CanvasGlyphLimitReached);
        slice = appendToPool(pools.glyphs, pools.glyph_count, slice);
        return {};
    }
};

// Whether [data, data + bytes) overlaps the storage of `list`.
bool pointsInto(const CanvasDisplayList& list, const void* data, std::size_t bytes) {
    if (data == nullptr || bytes == 0) return false;
    auto first = reinterpret_cast<std::uintptr_t>(data);
    auto begin = reinterpret_cast<std::uintptr_t>(&list);
    return first < begin + sizeof(CanvasDisplayList) && begin < first + bytes;
}

struct AliasProbe {
    const CanvasDisplayList& list;
    bool aliased = false;

    template <class Slice>
    Status operator()(Slice& slice) {
        aliased = aliased || pointsInto(list, slice.data(), slice.size() * sizeof(slice[0]));
        return {};
    }
};

bool sourceAliasesList(const CanvasDisplayList& list, std::span<const CanvasCommand> commands) {
    if (pointsInto(list, commands.data(), commands.size_bytes())) return true;
    AliasProbe probe{list};
    for (CanvasCommand command : commands) {
        (void)forEachCommandSlice(command, probe);
        if (probe.aliased) return true;
    }
    return false;
}

// Replaces the list by a copy whose capacities were already checked.
void commitCopy(CanvasDisplayList& list, std::span<const CanvasCommand> commands) {
    list.pools.stop_count = list.pools.element_count = list.pools.glyph_count = list.pools.text_length = 0;
    PoolAppender append{list.pools};
    for (std::size_t i = 0; i < commands.size(); ++i) {
        CanvasCommand copy = commands[i];
        unsigned tag = canvasCommandTagBits(copy);
        if (tag == static_cast<unsigned>(CanvasCommandTag::pop_clip) ||
            tag == static_cast<unsigned>(CanvasCommandTag::pop_opacity)) {
            copy = CanvasCommand{};
            copy.tag = commands[i].tag;
        } else {
            (void)forEachCommandSlice(copy, append);
        }
        list.items[i] = copy;
    }
    list.count = static_cast<std::uint32_t>(commands.size());
}

}  // namespace

Status copyCanvasDisplayList(CanvasDisplayList& list, std::span<const CanvasCommand> commands) {
    if (commands.size() > kMaxCanvasCommands) return fail(Error::CanvasCommandLimitReached);
    PoolTotals totals;
    for (CanvasCommand command : commands) TRY(forEachCommandSlice(command, totals));

    if (commands.data() == list.items.data() && commands.size() == list.count) {
        ++list.revision;
        return {};
    }
    if (sourceAliasesList(list, commands)) {
        // Clearing the pools would overwrite data still to be read: copy out first.
        CanvasDisplayList& staging = perThreadCanvasScratch<CanvasDisplayList>();
        commitCopy(staging, commands);
        commitCopy(list, staging.commands());
    } else {
        commitCopy(list, commands);
    }
    ++list.revision;
    return {};
}

Status CanvasDisplayListScratch::appendCopiedCommand(CanvasCommandArray& array, const CanvasCommand& command) {
    CanvasCommand copy = command;
    TRY(forEachCommandSlice(copy, PoolAppender{pools}));
    if (array.count >= array.capacity) return fail(Error::DisplayListFull);
    array.items[array.count++] = copy;
    return {};
}

}  // namespace kelvo

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
    CanvasPooledText last_text;

    static Status add(std::size_t& total, std::size_t more, std::size_t capacity, Error error) {
        total += more;
        return total > capacity ? fail(error) : Status{};
    }
    Status operator()(std::span<const GradientStop>& slice) {
        return add(stops, slice.size(), kCanvasGradientStopCapacity, Error::CanvasGradientStopLimitReached);
    }
    Status operator()(std::span<const PathElement>& slice) {
        return add(elements, slice.size(), kCanvasPathElementCapacity, Error::CanvasPathElementLimitReached);
    }
    Status operator()(std::string_view& slice) {
        if (last_text.repeats(slice)) return {};
        last_text = {slice.data(), slice.size()};
        return add(text, slice.size(), kCanvasTextCapacity, Error::CanvasTextTooLarge);
    }
    Status operator()(std::span<const PositionedGlyph>& slice) {
        return add(glyphs, slice.size(), kCanvasGlyphCapacity, Error::CanvasGlyphLimitReached);
    }
};

// Copies `slice` to the end of `pool` (checked first, with the pool's error) and re-points it there.
template <class T, std::size_t N>
Status appendToPool(std::array<T, N>& pool, std::uint32_t& used, std::span<const T>& slice, Error error) {
    if (slice.size() > N - used) return fail(error);
    T* at = pool.data() + used;
    if (!slice.empty()) std::memcpy(static_cast<void*>(at), slice.data(), slice.size() * sizeof(T));
    used += static_cast<std::uint32_t>(slice.size());
    slice = {at, slice.size()};
    return {};
}

struct PoolAppender {
    CanvasDisplayListPools& pools;

    Status operator()(std::span<const GradientStop>& slice) {
        return appendToPool(pools.stops, pools.stop_count, slice, Error::CanvasGradientStopLimitReached);
    }
    Status operator()(std::span<const PathElement>& slice) {
        return appendToPool(pools.elements, pools.element_count, slice, Error::CanvasPathElementLimitReached);
    }
    Status operator()(std::string_view& slice) {
        if (pools.last_text.repeats(slice)) {
            slice = {pools.last_text.bytes, slice.size()};
            return {};
        }
        std::span<const char> bytes(slice);
        TRY(appendToPool(pools.text, pools.text_length, bytes, Error::CanvasTextTooLarge));
        pools.last_text = {bytes.data(), bytes.size()};
        slice = {bytes.data(), bytes.size()};
        return {};
    }
    Status operator()(std::span<const PositionedGlyph>& slice) {
        return appendToPool(pools.glyphs, pools.glyph_count, slice, Error::CanvasGlyphLimitReached);
    }
};

// Whether [data, data + bytes) overlaps the storage of `list`.
bool pointsInto(const CanvasDisplayList& list, const void* data, std::size_t bytes) {
    return bytesOverlap(data, bytes, &list, sizeof(CanvasDisplayList));
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
    list.pools.last_text = {};
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

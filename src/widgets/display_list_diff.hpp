#pragma once

// What changed between two display lists of one view, command by command. Commands with an
// identity (an id, and a tag other than pop_clip, push_opacity, pop_opacity and transform) are
// matched by id; the others form the list's structure and are compared in order. The refresh
// turns the changes into dirty rectangles, so each change carries the area it touches in view
// coordinates: a command under a transform counts with its transformed bounds.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "base/error.hpp"
#include "widgets/commands.hpp"

namespace kelvo {

enum class DisplayListChangeKind : std::uint8_t { added = 0, removed = 1, changed = 2, structure = 3 };

struct DisplayListChange {
    std::uint64_t id = 0;  // 0 for a structure change
    std::optional<std::uint64_t> old_index;
    std::optional<std::uint64_t> new_index;
    std::optional<Rect> bounds;
    DisplayListChangeKind kind = DisplayListChangeKind::structure;
};

// One structure change, then at most one change per command with an identity of either list.
inline constexpr std::size_t kMaxDisplayListChanges = 4097;
// From this many commands in either list, ids are looked up in hash tables instead of by scanning.
inline constexpr std::size_t kDiffHashedLookupThreshold = 64;
// The largest list the hash tables take.
inline constexpr std::size_t kDiffHashedListLimit = 2048;

// How ids are looked up. Both ways give the same changes in the same order; `automatic` picks
// the tables when both lists fit them and either reaches the threshold.
enum class DiffIdLookup : std::uint8_t { automatic, linear, hashed };

struct DisplayListDiff {
    std::size_t count = 0;
    // A changed command lies under a transform whose result is not finite: its area is unknown,
    // so the whole surface must be taken as changed.
    bool area_unknown = false;
};

bool hasCommandIdentity(const CanvasCommand& command);

// Writes the changes from `before` to `after` into `out`, in this order: a structure change when
// the commands without identity differ (in tag, content or number), covering both lists; then for
// each command of `before` with an identity, a removal when `after` lacks its id or a change when
// it moved or differs; then an addition for each command of `after` whose id `before` lacks. An
// empty `before` (or `after`) gives one structure change over the other list, bounded only when
// it holds no text. DuplicateObjectId when an id repeats within a list; DiffListFull when `out`
// is too small.
Result<DisplayListDiff> diffCanvasDisplayLists(std::span<const CanvasCommand> before,
                                               std::span<const CanvasCommand> after, std::span<DisplayListChange> out,
                                               DiffIdLookup lookup = DiffIdLookup::automatic);

}  // namespace kelvo

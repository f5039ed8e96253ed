#include "widgets/display_list_diff.hpp"

#include <array>
#include <cmath>
#include <cstring>

#include "widgets/display_list.hpp"
#include "widgets/equality.hpp"
#include "widgets/thread_scratch.hpp"

namespace kelvo {

namespace {

constexpr std::size_t kIdTableSlots = 4096;  // twice the largest list, so probes stay short
constexpr std::size_t kIdTableMask = kIdTableSlots - 1;

// Per list: the id table (index + 1 per slot, 0 = empty), and the transform in effect at each
// command as an index into the list's table of composed transforms (0 = identity).
struct DiffListScratch {
    std::array<std::uint32_t, kIdTableSlots> slots{};
    std::array<std::uint16_t, kMaxCanvasCommands> transform_at{};
    std::array<Affine, kMaxCanvasCommands + 1> transforms{};
};

struct DiffIdScratch {
    DiffListScratch before;
    DiffListScratch after;
};

std::uint64_t mixId(std::uint64_t x) {
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ull;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebull;
    x ^= x >> 31;
    return x;
}

bool isIdentityAffine(const Affine& m) {
    return m.a == 1 && m.b == 0 && m.c == 0 && m.d == 1 && m.tx == 0 && m.ty == 0;
}

// One list as the diff reads it.
class DiffList {
public:
    DiffList(std::span<const CanvasCommand> commands, DiffListScratch& scratch, bool hashed)
        : commands_(commands), scratch_(scratch), hashed_(hashed) {}

    // Fills the transform table and checks that ids are unique (filling the id table when hashed).
    Status prepare() {
        std::uint16_t current = 0;
        scratch_.transforms[0] = kIdentityAffine;
        if (hashed_) std::memset(scratch_.slots.data(), 0, sizeof(scratch_.slots));
        for (std::size_t i = 0; i < commands_.size(); ++i) {
            const CanvasCommand& command = commands_[i];
            scratch_.transform_at[i] = current;
            if (static_cast<CanvasCommandTag>(canvasCommandTagBits(command)) == CanvasCommandTag::transform) {
                const Affine composed = composeAffine(scratch_.transforms[current], command.transform);
                scratch_.transforms[++current] = composed;
            }
            if (!hasCommandIdentity(command)) continue;
            const std::uint64_t id = canvasCommandId(command);
            if (hashed_) {
                std::size_t slot = mixId(id) & kIdTableMask;
                for (; scratch_.slots[slot] != 0; slot = (slot + 1) & kIdTableMask) {
                    if (canvasCommandId(commands_[scratch_.slots[slot] - 1]) == id)
                        return fail(Error::DuplicateObjectId);
                }
                scratch_.slots[slot] = static_cast<std::uint32_t>(i + 1);
            } else {
                for (std::size_t j = 0; j < i; ++j) {
                    if (hasCommandIdentity(commands_[j]) && canvasCommandId(commands_[j]) == id) {
                        return fail(Error::DuplicateObjectId);
                    }
                }
            }
        }
        return {};
    }

    // The index of the command with identity `id`.
    [[nodiscard]] std::optional<std::size_t> find(std::uint64_t id) const {
        if (hashed_) {
            for (std::size_t slot = mixId(id) & kIdTableMask; scratch_.slots[slot] != 0;
                 slot = (slot + 1) & kIdTableMask) {
                if (canvasCommandId(commands_[scratch_.slots[slot] - 1]) == id) return scratch_.slots[slot] - 1;
            }
            return std::nullopt;
        }
        for (std::size_t i = 0; i < commands_.size(); ++i) {
            if (hasCommandIdentity(commands_[i]) && canvasCommandId(commands_[i]) == id) return i;
        }
        return std::nullopt;
    }

    // The command's bounds in view coordinates: its own bounds mapped by the transform in effect
    // (the box around the four mapped corners). A mapping that is not finite gives none and marks
    // the area unknown.
    [[nodiscard]] std::optional<Rect> bounds(std::size_t index, bool& unknown) const {
        std::optional<Rect> box = canvasCommandBounds(commands_[index]);
        const Affine& m = scratch_.transforms[scratch_.transform_at[index]];
        if (!box || isIdentityAffine(m)) return box;
        const Rect r = normalizeRect(*box);
        const Point corners[] = {applyAffine(m, {r.x, r.y}), applyAffine(m, {r.x + r.width, r.y}),
                                 applyAffine(m, {r.x, r.y + r.height}),
                                 applyAffine(m, {r.x + r.width, r.y + r.height})};
        float left = corners[0].x, right = corners[0].x, top = corners[0].y, bottom = corners[0].y;
        for (const Point& p : corners) {
            if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
                unknown = true;
                return std::nullopt;
            }
            left = std::min(left, p.x), right = std::max(right, p.x);
            top = std::min(top, p.y), bottom = std::max(bottom, p.y);
        }
        return Rect{left, top, right - left, bottom - top};
    }

    // The union of every command's bounds; none as soon as a text is met when `withoutText`.
    [[nodiscard]] std::optional<Rect> allBounds(bool withoutText, bool& unknown) const {
        std::optional<Rect> total;
        for (std::size_t i = 0; i < commands_.size(); ++i) {
            if (withoutText &&
                static_cast<CanvasCommandTag>(canvasCommandTagBits(commands_[i])) == CanvasCommandTag::draw_text) {
                return std::nullopt;
            }
            total = unionOptionalBounds(total, bounds(i, unknown));
        }
        return total;
    }

    [[nodiscard]] std::span<const CanvasCommand> commands() const { return commands_; }

private:
    std::span<const CanvasCommand> commands_;
    DiffListScratch& scratch_;
    bool hashed_;
};

// Whether the commands without identity of the two lists are equal pairwise and equal in number.
bool sameStructure(std::span<const CanvasCommand> before, std::span<const CanvasCommand> after) {
    std::size_t i = 0, j = 0;
    for (;;) {
        while (i < before.size() && hasCommandIdentity(before[i])) ++i;
        while (j < after.size() && hasCommandIdentity(after[j])) ++j;
        if (i == before.size() || j == after.size()) return i == before.size() && j == after.size();
        if (!commandsEqual(before[i], after[j])) return false;
        ++i, ++j;
    }
}

DisplayListChange structureChange(std::optional<Rect> bounds) {
    return {0, std::nullopt, std::nullopt, bounds, DisplayListChangeKind::structure};
}

bool useHashedLookup(std::size_t before, std::size_t after, DiffIdLookup lookup) {
    if (lookup == DiffIdLookup::linear) return false;
    if (lookup == DiffIdLookup::hashed) return true;
    return before >= kDiffHashedLookupThreshold || after >= kDiffHashedLookupThreshold;
}

}  // namespace

bool hasCommandIdentity(const CanvasCommand& command) {
    switch (static_cast<CanvasCommandTag>(canvasCommandTagBits(command))) {
        case CanvasCommandTag::pop_clip:
        case CanvasCommandTag::push_opacity:
        case CanvasCommandTag::pop_opacity:
        case CanvasCommandTag::transform:
            return false;
        default:
            return canvasCommandId(command) != 0;
    }
}

Result<DisplayListDiff> diffCanvasDisplayLists(std::span<const CanvasCommand> before,
                                               std::span<const CanvasCommand> after, std::span<DisplayListChange> out,
                                               DiffIdLookup lookup) {
    if (before.size() > kDiffHashedListLimit || after.size() > kDiffHashedListLimit) {
        return fail(Error::CanvasCommandLimitReached);
    }
    DiffIdScratch& scratch = perThreadCanvasScratch<DiffIdScratch>();
    const bool hashed = useHashedLookup(before.size(), after.size(), lookup);
    DiffList old(before, scratch.before, hashed);
    DiffList now(after, scratch.after, hashed);
    TRY(old.prepare());
    TRY(now.prepare());

    DisplayListDiff diff;
    const auto add = [&](const DisplayListChange& change) -> Status {
        if (diff.count == out.size()) return fail(Error::DiffListFull);
        out[diff.count++] = change;
        return {};
    };

    if (before.empty() || after.empty()) {
        const DiffList& other = before.empty() ? now : old;
        TRY(add(structureChange(other.allBounds(true, diff.area_unknown))));
        return diff;
    }

    if (!sameStructure(before, after)) {
        TRY(add(structureChange(
            unionOptionalBounds(old.allBounds(false, diff.area_unknown), now.allBounds(false, diff.area_unknown)))));
    }
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (!hasCommandIdentity(before[i])) continue;
        const std::uint64_t id = canvasCommandId(before[i]);
        const std::optional<std::size_t> j = now.find(id);
        if (!j) {
            TRY(add({id, i, std::nullopt, old.bounds(i, diff.area_unknown), DisplayListChangeKind::removed}));
        } else if (*j != i || !commandsEqual(before[i], after[*j])) {
            const std::optional<Rect> area =
                unionOptionalBounds(old.bounds(i, diff.area_unknown), now.bounds(*j, diff.area_unknown));
            TRY(add({id, i, *j, area, DisplayListChangeKind::changed}));
        }
    }
    for (std::size_t j = 0; j < after.size(); ++j) {
        if (!hasCommandIdentity(after[j])) continue;
        const std::uint64_t id = canvasCommandId(after[j]);
        if (old.find(id)) continue;
        TRY(add({id, std::nullopt, j, now.bounds(j, diff.area_unknown), DisplayListChangeKind::added}));
    }
    return diff;
}

}  // namespace kelvo

// Diffs two display lists read from arbitrary bytes (clips, opacity layers, transforms with
// non-finite entries, rectangles, texts, tags that name no command, repeated ids) with both id
// lookups. Both must give the same error or the same changes, and every change must name indexes
// inside its lists.

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "widgets/display_list_diff.hpp"

namespace {

using namespace kelvo;

void check(bool condition) {
    if (!condition) std::abort();
}

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool empty() const { return at_ >= size_; }
    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    float number() {
        constexpr float kSpecial[] = {0,
                                      1,
                                      -1,
                                      0.5f,
                                      10,
                                      -10,
                                      100,
                                      1e30f,
                                      std::numeric_limits<float>::quiet_NaN(),
                                      std::numeric_limits<float>::infinity()};
        const std::uint8_t b = byte();
        return b < 10 ? kSpecial[b] : static_cast<float>(b) - 128;
    }
    Rect rect() { return {number(), number(), number(), number()}; }
    std::uint64_t id() { return byte() % 24; }  // small ids repeat often
    const char* text(std::size_t& length) {
        length = std::min<std::size_t>(byte() % 8, size_ - std::min(at_, size_));
        const char* start = reinterpret_cast<const char*>(data_ + std::min(at_, size_));
        at_ += length;
        return start;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

CanvasCommand command(Reader& in) {
    const Paint red = Paint::solid({1, 0, 0, 1});
    switch (in.byte() % 9) {
        case 0:
            return CanvasCommand::pushClip({in.id(), in.rect(), {}});
        case 1:
            return CanvasCommand::popClip();
        case 2:
            return CanvasCommand::pushOpacity(in.number());
        case 3:
            return CanvasCommand::popOpacity();
        case 4:
            return CanvasCommand::transformBy(
                {in.number(), in.number(), in.number(), in.number(), in.number(), in.number()});
        case 5: {
            DrawTextCommand run;
            run.id = in.id();
            std::size_t length = 0;
            run.text = {in.text(length), length};
            run.size = in.number();
            run.origin = {in.number(), in.number()};
            return CanvasCommand::drawText(run);
        }
        case 6: {
            CanvasCommand none;
            none.tag = static_cast<CanvasCommandTag>(15);
            return none;
        }
        case 7:
            return CanvasCommand::strokeRect({in.id(), Stroke{red, in.number()}, in.rect(), {}});
        default:
            return CanvasCommand::fillRect({in.id(), red, in.rect()});
    }
}

bool sameChange(const DisplayListChange& a, const DisplayListChange& b) {
    const auto sameRect = [](const std::optional<Rect>& p, const std::optional<Rect>& q) {
        return p.has_value() == q.has_value() && (!p || std::memcmp(&*p, &*q, sizeof(Rect)) == 0);
    };
    return a.id == b.id && a.old_index == b.old_index && a.new_index == b.new_index && a.kind == b.kind &&
           sameRect(a.bounds, b.bounds);
}

std::array<DisplayListChange, kMaxDisplayListChanges> gLinear;
std::array<DisplayListChange, kMaxDisplayListChanges> gHashed;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Reader in(data, size);
    std::vector<CanvasCommand> before, after;
    const std::size_t split = in.byte();
    while (!in.empty() && before.size() + after.size() < 2 * kDiffHashedListLimit) {
        (before.size() < split ? before : after).push_back(command(in));
    }
    const Result<DisplayListDiff> linear = diffCanvasDisplayLists(before, after, gLinear, DiffIdLookup::linear);
    const Result<DisplayListDiff> hashed = diffCanvasDisplayLists(before, after, gHashed, DiffIdLookup::hashed);
    check(linear.has_value() == hashed.has_value());
    if (!linear) {
        check(linear.error() == hashed.error());
        return 0;
    }
    check(linear->count == hashed->count && linear->area_unknown == hashed->area_unknown);
    for (std::size_t i = 0; i < linear->count; ++i) {
        check(sameChange(gLinear[i], gHashed[i]));
        check(!gLinear[i].old_index || *gLinear[i].old_index < before.size());
        check(!gLinear[i].new_index || *gLinear[i].new_index < after.size());
    }
    return 0;
}

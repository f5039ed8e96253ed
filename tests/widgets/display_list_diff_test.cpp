#include "widgets/display_list_diff.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/golden.hpp"
#include "widgets/render_fixture.hpp"

namespace kelvo {
namespace {

std::vector<float> numbers(const std::string& text) {
    std::vector<float> values;
    std::istringstream in(text);
    for (std::string cell; std::getline(in, cell, ',');) values.push_back(std::strtof(cell.c_str(), nullptr));
    return values;
}

Rect rectOf(const std::string& text) {
    const std::vector<float> v = numbers(text);
    return {v.at(0), v.at(1), v.at(2), v.at(3)};
}

// A list written as in the data file; texts stay alive in `words`.
std::vector<CanvasCommand> parseList(const std::string& text, std::deque<std::string>& words) {
    std::vector<CanvasCommand> list;
    std::istringstream items(text);
    for (std::string item; std::getline(items, item, ';');) {
        std::istringstream cells(item);
        std::string verb, a, b;
        cells >> verb >> a >> b;
        if (verb.empty()) continue;
        const auto id = [&] { return std::strtoull(a.c_str(), nullptr, 10); };
        if (verb == "fill") {
            list.push_back(CanvasCommand::fillRect({id(), Paint::solid({1, 0, 0, 1}), rectOf(b)}));
        } else if (verb == "clip") {
            list.push_back(CanvasCommand::pushClip({id(), rectOf(b), {}}));
        } else if (verb == "pop") {
            list.push_back(CanvasCommand::popClip());
        } else if (verb == "opacity") {
            list.push_back(CanvasCommand::pushOpacity(std::strtof(a.c_str(), nullptr)));
        } else if (verb == "popopacity") {
            list.push_back(CanvasCommand::popOpacity());
        } else if (verb == "transform") {
            const std::vector<float> m = numbers(a);
            list.push_back(CanvasCommand::transformBy({m.at(0), m.at(1), m.at(2), m.at(3), m.at(4), m.at(5)}));
        } else if (verb == "text") {
            DrawTextCommand run;
            run.id = id();
            run.text = words.emplace_back(b);
            run.size = 12;
            run.origin = {0, 20};
            list.push_back(CanvasCommand::drawText(run));
        } else {
            ADD_FAILURE() << "unknown command " << verb;
        }
    }
    return list;
}

std::string changeText(const DisplayListChange& change) {
    static const char* const kKinds[] = {"added", "removed", "changed", "structure"};
    const auto index = [](std::optional<std::uint64_t> i) { return i ? std::to_string(*i) : std::string("-"); };
    return std::string(kKinds[static_cast<int>(change.kind)]) + " " + std::to_string(change.id) + " " +
           index(change.old_index) + " " + index(change.new_index) + " " +
           (change.bounds ? testing::rectText(*change.bounds) : "-");
}

// The diff as the data file writes it.
std::vector<std::string> diffText(std::span<const CanvasCommand> before, std::span<const CanvasCommand> after,
                                  DiffIdLookup lookup) {
    std::vector<DisplayListChange> out(kMaxDisplayListChanges);
    Result<DisplayListDiff> diff = diffCanvasDisplayLists(before, after, out, lookup);
    if (!diff) return {std::string("error ") + std::string(errorName(diff.error()))};
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < diff->count; ++i) lines.push_back(changeText(out[i]));
    if (diff->area_unknown) lines.push_back("area unknown");
    return lines;
}

TEST(DisplayListDiff, CasesFromTheTable) {
    struct Case {
        std::string name, before, after;
        std::vector<std::string> want;
    };
    std::vector<Case> cases;
    for (const std::string& line : testing::readLines("widgets/display_list_diffs.txt")) {
        const auto rest = [&](std::size_t from) { return line.size() > from ? line.substr(from) : std::string(); };
        if (line.rfind("== ", 0) == 0) {
            cases.push_back({rest(3), "", "", {}});
        } else if (line.rfind("old:", 0) == 0) {
            cases.back().before = rest(4);
        } else if (line.rfind("new:", 0) == 0) {
            cases.back().after = rest(4);
        } else if (line == "want: nothing") {
        } else if (line.rfind("want: ", 0) == 0) {
            cases.back().want.push_back(rest(6));
        } else if (line == "area: unknown") {
            cases.back().want.push_back("area unknown");
        }
    }
    ASSERT_GE(cases.size(), 17u);
    for (const Case& c : cases) {
        std::deque<std::string> words;
        const std::vector<CanvasCommand> before = parseList(c.before, words);
        const std::vector<CanvasCommand> after = parseList(c.after, words);
        for (DiffIdLookup lookup : {DiffIdLookup::linear, DiffIdLookup::hashed}) {
            EXPECT_EQ(diffText(before, after, lookup), c.want)
                << c.name << (lookup == DiffIdLookup::hashed ? " (hashed)" : " (linear)");
        }
    }
}

TEST(DisplayListDiff, AChangeListTooSmallIsRefused) {
    std::deque<std::string> words;
    const std::vector<CanvasCommand> before = parseList("fill 16 0,0,1,1; fill 32 0,0,1,1", words);
    const std::vector<CanvasCommand> after = parseList("fill 32 0,0,1,1", words);
    std::vector<DisplayListChange> out(1);
    EXPECT_EQ(diffCanvasDisplayLists(before, after, out).error(), Error::DiffListFull);
}

// Random lists: identity commands with unique ids among anonymous fills, clips and transforms,
// and a second list made from the first by removals, additions, swaps and content changes.
class RandomLists {
public:
    explicit RandomLists(std::uint32_t seed) : random_(seed) {}

    std::vector<CanvasCommand> make(std::size_t size) {
        std::vector<CanvasCommand> list;
        while (list.size() < size) list.push_back(command());
        return list;
    }

    std::vector<CanvasCommand> mutate(std::vector<CanvasCommand> list, std::size_t limit) {
        const std::size_t edits = 1 + pick(12);
        for (std::size_t e = 0; e < edits && !list.empty(); ++e) {
            const std::size_t at = pick(list.size());
            switch (pick(5)) {
                case 0:
                    list.erase(list.begin() + static_cast<std::ptrdiff_t>(at));
                    break;
                case 1:
                    if (list.size() < limit) list.insert(list.begin() + static_cast<std::ptrdiff_t>(at), command());
                    break;
                case 2:
                    std::swap(list[at], list[pick(list.size())]);
                    break;
                case 3:
                    if (list[at].tag == CanvasCommandTag::fill_rect) list[at].fill_rect.rect.width += 1;
                    break;
                default:
                    if (list[at].tag == CanvasCommandTag::transform) list[at].transform.tx += 3;
                    break;
            }
        }
        return list;
    }

    std::size_t pick(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_); }

private:
    CanvasCommand command() {
        const Rect r{static_cast<float>(pick(500)), static_cast<float>(pick(500)), 1.0f + pick(40), 1.0f + pick(40)};
        switch (pick(10)) {
            case 0:
                return CanvasCommand::transformBy({1, 0, 0, 1, static_cast<float>(pick(9)), 0});
            case 1:
                return CanvasCommand::fillRect({0, Paint::solid({0, 0, 1, 1}), r});
            case 2:
                return CanvasCommand::pushClip({nextId_++ * 16 + 9, r, {}});
            default:
                return CanvasCommand::fillRect({nextId_++ * 16 + pick(16), Paint::solid({1, 0, 0, 1}), r});
        }
    }

    std::mt19937 random_;
    std::uint64_t nextId_ = 1;
};

TEST(DisplayListDiff, HashedAndLinearLookupsAgreeAroundTheThresholdAndAtFullLists) {
    for (std::size_t size : {63, 64, 65, 2048}) {
        for (std::uint32_t seed = 1; seed <= (size == 2048 ? 3u : 40u); ++seed) {
            RandomLists random(seed * 7919 + static_cast<std::uint32_t>(size));
            std::vector<CanvasCommand> before = random.make(size);
            std::vector<CanvasCommand> after = random.mutate(before, kMaxCanvasCommands);
            if (seed % 5 == 0) {
                // A repeated id on either side is refused by both.
                std::vector<CanvasCommand>& side = seed % 2 ? before : after;
                side[random.pick(side.size())] = CanvasCommand::fillRect({16, {}, {0, 0, 1, 1}});
                side[random.pick(side.size())] = CanvasCommand::fillRect({16, {}, {2, 2, 1, 1}});
            }
            const std::vector<std::string> linear = diffText(before, after, DiffIdLookup::linear);
            ASSERT_EQ(diffText(before, after, DiffIdLookup::hashed), linear) << "size " << size << " seed " << seed;
            ASSERT_EQ(diffText(before, after, DiffIdLookup::automatic), linear);
        }
    }
}

}  // namespace
}  // namespace kelvo

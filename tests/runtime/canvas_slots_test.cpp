#include "runtime/canvas/canvas_slots.hpp"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "runtime/canvas/view_widget_tree.hpp"
#include "runtime/runtime.hpp"
#include "runtime/views/view_close.hpp"
#include "runtime/views/view_lookup.hpp"
#include "runtime/views/view_table.hpp"
#include "view_scenario.hpp"
#include "widgets/equality.hpp"

namespace kelvo {
namespace {

// Resident pages of [start, start + bytes), both page-aligned.
std::size_t residentPages(const void* start, std::size_t bytes) {
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    std::vector<unsigned char> flags((bytes + page - 1) / page);
    EXPECT_EQ(mincore(const_cast<void*>(start), bytes, flags.data()), 0);
    std::size_t resident = 0;
    for (unsigned char flag : flags) resident += flag & 1u;
    return resident;
}

std::size_t residentSlotPages(const Runtime& runtime, std::size_t slot) {
    return residentPages(runtime.canvasSlots.pages[slot].bytes, sizeof(runtime.canvasSlots.pages[slot].bytes));
}

TEST(CanvasSlots, AllocatingTheRuntimeLeavesSlotPagesUntouched) {
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t slotBytes = sizeof(CanvasSlotTable::pages);
    std::printf("sizeof(Runtime) = %zu bytes, of which canvas slots %zu (%zu per slot)\n", sizeof(Runtime), slotBytes,
                sizeof(CanvasSlotTable::SlotPages));
    // How long allocating and releasing takes is measured by bench/canvas_store_bench.cpp.
    Result<Runtime*> runtime = allocateRuntime();
    ASSERT_TRUE(runtime);
    const std::size_t resident = residentPages(*runtime, sizeof(Runtime));
    std::size_t slotResident = 0;
    for (std::size_t i = 0; i < kCanvasSlotCount; ++i) slotResident += residentSlotPages(**runtime, i);
    releaseRuntime(*runtime);
    EXPECT_EQ(slotResident, 0u);
    // No more than the record without its slots (what it touched before slots existed).
    EXPECT_LE(resident * page, sizeof(Runtime) - slotBytes + page);
    std::printf("resident after allocation: %zu KiB\n", resident * page / 1024);
}

class CanvasViews : public testing::ViewScenario {
protected:
    std::size_t indexOf(std::string_view label) { return *findViewIndex(*runtime, 1, label); }

    // Installs a small tree and a display list of `commands` fill commands on a view.
    void draw(std::string_view label, int commands, const char* tree) {
        ASSERT_TRUE(installCanvasWidgetTreeText(*runtime, indexOf(label), tree));
        std::vector<CanvasCommand> list;
        for (int i = 0; i < commands; ++i) {
            list.push_back(CanvasCommand::fillRect(
                {std::uint64_t(i + 1) * 16, Paint::solid({1, 0, 0, 1}), {float(i), 0, 10, 10}}));
        }
        ASSERT_TRUE(copyCanvasDisplayList(*runtime, runtime->views[indexOf(label)], list));
    }

    const CanvasSlot& slotOf(std::string_view label) {
        return *canvasSlotOf(runtime->canvasSlots, runtime->views[indexOf(label)]);
    }
};

TEST_F(CanvasViews, ClosingOneViewLeavesTheOthersListsAndRevisions) {
    for (const char* label : {"first", "second", "third"}) create(gpuSurface(label));
    create(view("plain"));
    EXPECT_FALSE(runtime->views[indexOf("plain")].canvas.slot);
    draw("first", 1, "column id=1\n  text id=2 text=\"one\"\n");
    draw("second", 2, "text id=7 text=\"two\"\n");
    draw("third", 3, "stack id=9\n");
    ASSERT_TRUE(
        copyCanvasDisplayList(*runtime, runtime->views[indexOf("third")], slotOf("third").displayList.commands()));

    const std::uint8_t firstSlot = *runtime->views[indexOf("first")].canvas.slot;
    const CanvasSlot* second = &slotOf("second");
    const CanvasSlot* third = &slotOf("third");
    std::vector<CanvasCommand> thirdList(third->displayList.commands().begin(), third->displayList.commands().end());
    ASSERT_TRUE(closeView(*runtime, 1, "first"));

    // The records moved down the table; the slots they name did not move.
    EXPECT_EQ(&slotOf("second"), second);
    EXPECT_EQ(&slotOf("third"), third);
    // Installing a tree refreshed each list once before the copies.
    EXPECT_EQ(second->displayList.revision, 2u);
    EXPECT_EQ(second->displayList.count, 2u);
    EXPECT_EQ(second->tree.nodes[0].text, "two");
    EXPECT_EQ(third->displayList.revision, 3u);
    ASSERT_EQ(third->displayList.count, thirdList.size());
    for (std::size_t i = 0; i < thirdList.size(); ++i)
        EXPECT_TRUE(commandsEqual(third->displayList.items[i], thirdList[i]));
    ViewInfo info = viewInfo(runtime->views[indexOf("third")]);
    EXPECT_EQ(info.canvas.canvasRevision, 3u);
    EXPECT_EQ(info.canvas.canvasCommandCount, 3u);
    EXPECT_EQ(info.canvas.widgetRevision, 1u);
    EXPECT_EQ(info.canvas.widgetNodeCount, 1u);

    // The closed view's slot is free, its pages handed back; a new canvas view starts empty in it.
    EXPECT_FALSE(runtime->canvasSlots.used[firstSlot]);
    EXPECT_EQ(residentSlotPages(*runtime, firstSlot), 0u);
    create(gpuSurface("fourth"));
    EXPECT_EQ(*runtime->views[indexOf("fourth")].canvas.slot, firstSlot);
    EXPECT_EQ(slotOf("fourth").displayList.revision, 0u);
    EXPECT_EQ(slotOf("fourth").tree.node_count, 0u);
}

TEST_F(CanvasViews, InstallingReachesOnlyCanvasViewsAndRefusalsChangeNothing) {
    create(gpuSurface("canvas"));
    create(view("plain"));
    const RuntimeView& canvas = runtime->views[indexOf("canvas")];
    EXPECT_EQ(installCanvasWidgetTreeText(*runtime, indexOf("plain"), "stack\n").error(), Error::UnsupportedViewKind);
    EXPECT_EQ(installCanvasWidgetTreeText(*runtime, runtime->views.size(), "stack\n").error(), Error::ViewNotFound);

    const Color transparent = canvasClearColor(*runtime, canvas);
    EXPECT_EQ(transparent.a, 0);
    draw("canvas", 1, "tokens palette.background=#102030ff\nbutton id=4 text=\"ok\"\n");
    EXPECT_FLOAT_EQ(canvasClearColor(*runtime, canvas).g, 32.0f / 255.0f);

    std::uint32_t line = 0;
    EXPECT_EQ(installCanvasWidgetTreeText(*runtime, indexOf("canvas"), "stack id=1\n  text id=1\n", &line).error(),
              Error::DuplicateWidgetId);
    EXPECT_EQ(installCanvasWidgetTreeText(*runtime, indexOf("canvas"), "stack\n stack\n", &line).error(),
              Error::InvalidWidgetTreeText);
    EXPECT_EQ(line, 2u);
    EXPECT_EQ(canvas.canvas.widgetRevision, 1u);
    EXPECT_EQ(slotOf("canvas").tree.nodes[0].text, "ok");
    EXPECT_FLOAT_EQ(canvasClearColor(*runtime, canvas).g, 32.0f / 255.0f);
}

}  // namespace
}  // namespace kelvo

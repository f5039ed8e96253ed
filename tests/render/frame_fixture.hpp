#pragma once

// A canvas view as frame planning sees it, for tests: a display list with its revision, the
// surface, animations, and the state presented frames leave behind.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "render/frame_plan.hpp"

namespace kelvo::testing {

inline CanvasCommand solidRect(std::uint64_t id, Rect rect, Color color = {0, 0, 0, 1}) {
    return CanvasCommand::fillRect({id, Paint::solid(color), rect});
}

inline CanvasCommand textRun(std::uint64_t id, std::string_view text, Point origin, float size = 12) {
    DrawTextCommand payload;
    payload.id = id;
    payload.font = 1;
    payload.text = text;
    payload.size = size;
    payload.origin = origin;
    payload.color = {0, 0, 0, 1};
    return CanvasCommand::drawText(payload);
}

struct PlannedView {
    std::vector<CanvasCommand> list;
    std::uint64_t revision = 1;
    float width = 200;
    float height = 100;
    float scale = 1;
    std::vector<WidgetAnimation> animations;
    std::vector<WidgetAnimationDirty> animation_dirty;
    std::unique_ptr<CanvasFrameHistory> history = std::make_unique<CanvasFrameHistory>();
    std::uint64_t tag = 0;

    // Replaces the display list (a new revision).
    void show(std::vector<CanvasCommand> commands) {
        list = std::move(commands);
        ++revision;
    }

    CanvasFrameSource source() const {
        CanvasFrameSource source;
        source.commands = list;
        source.revision = revision;
        source.animations = animations;
        source.animation_dirty = animation_dirty;
        source.history = history.get();
        source.surface_width = width;
        source.surface_height = height;
        source.surface_scale = scale;
        return source;
    }

    Result<CanvasFrame> plan(CanvasFrameRequest request = {},
                             const CanvasFrameStorage& storage = canvasFrameStorageForThread()) {
        if (request.frame_tag == 0) request.frame_tag = ++tag;
        return planCanvasFrame(source(), request, storage);
    }

    // Plans and presents a frame; the frame stays valid until the next plan.
    CanvasFrame present(CanvasFrameRequest request = {}) {
        Result<CanvasFrame> frame = plan(request);
        EXPECT_TRUE(frame.has_value()) << (frame ? "" : errorName(frame.error()));
        if (!frame) return {};
        commitPresentedCanvasFrame(*history, *frame);
        return *frame;
    }
};

}  // namespace kelvo::testing

#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/runtime.hpp"
#include "runtime/views/view_create.hpp"
#include "runtime_fixture.hpp"
#include "support/error_of.hpp"
#include "support/test_platform.hpp"

namespace kelvo::testing {

// A runtime on the scripted test platform with one open window (id 1, "main", 800 x 600) whose
// main web view took the id 1. Calls made while setting up are cleared.
class ViewScenario : public ::testing::Test {
protected:
    void SetUp() override {
        runtime->platform = test.platform();
        runtime->securityPolicy.origins = kTrustedOrigins;
        addWindow(*runtime, 1, "main", {0, 0, 800, 600});
        runtime->stateDirty = false;
        runtime->dirtyRegions.clear();
    }

    static ViewOptions view(std::string_view label, ViewKind kind = ViewKind::button,
                            std::optional<std::string_view> parent = std::nullopt, RectF frame = {0, 0, 50, 20}) {
        ViewOptions options;
        options.windowId = 1;
        options.label = label;
        options.parent = parent;
        options.kind = kind;
        options.frame = frame;
        return options;
    }

    static ViewOptions webView(std::string_view label, std::optional<std::string_view> parent = std::nullopt,
                               RectF frame = {0, 0, 300, 200}, std::string_view url = "vexa://app/panel.html") {
        ViewOptions options = view(label, ViewKind::webview, parent, frame);
        options.url = url;
        options.bridge = true;
        return options;
    }

    static ViewOptions gpuSurface(std::string_view label) {
        return canvasOptions(label, {0, 0, 320, 240}, GpuBackend::metal);
    }

    // The runtime holds a copy of the platform record: slot changes are copied over.
    void emptySlot(PlatformSlot slot) {
        test.emptySlot(slot);
        runtime->platform = test.platform();
    }

    void create(const ViewOptions& options) { ASSERT_TRUE(createView(*runtime, options)) << options.label; }

    // "slot:label" of every call since the last clear, in order.
    std::vector<std::string> callLog() const {
        std::vector<std::string> log;
        for (const TestPlatform::Call& call : test.calls()) {
            log.push_back(cat(platformSlotName(call.slot), ":", call.label));
        }
        return log;
    }

    std::vector<std::string> viewLabels() const {
        std::vector<std::string> labels;
        for (const RuntimeView& v : runtime->views) labels.emplace_back(v.label.view());
        return labels;
    }
    std::vector<std::string> webViewLabels() const {
        std::vector<std::string> labels;
        for (const RuntimeWebView& w : runtime->webViews) labels.emplace_back(w.label.view());
        return labels;
    }
    // The label of the window's focused object, "" when none; "+" joins several.
    std::string focusedLabels(std::uint64_t windowId = 1) const {
        std::string out;
        auto add = [&](std::string_view label) { out.append(out.empty() ? "" : "+").append(label); };
        if (auto index = findWindowIndexById(*runtime, windowId);
            index && runtime->windows[*index].mainWebViewFocused) {
            add("main");
        }
        for (const RuntimeView& v : runtime->views) {
            if (v.windowId == windowId && v.focused) add(v.label.view());
        }
        for (const RuntimeWebView& w : runtime->webViews) {
            if (w.windowId == windowId && w.focused) add(w.label.view());
        }
        return out;
    }

    TestPlatform test;
    RuntimePtr runtime = makeRuntime();
};

using Strings = std::vector<std::string>;

}  // namespace kelvo::testing

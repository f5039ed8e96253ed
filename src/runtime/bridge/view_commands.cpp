#include "runtime/bridge/view_commands.hpp"

#include <array>
#include <memory>

#include "runtime/bridge/family_reply.hpp"
#include "runtime/bridge/view_json.hpp"
#include "runtime/bridge/view_payloads.hpp"
#include "runtime/runtime.hpp"
#include "runtime/views/view_close.hpp"
#include "runtime/views/view_create.hpp"
#include "runtime/views/view_focus.hpp"
#include "runtime/views/view_list.hpp"
#include "runtime/views/view_update.hpp"

namespace kelvo {
namespace {

// Room for everything one window lists, per thread (a view list is too big for the stack).
std::span<ViewInfo> viewListScratch() {
    thread_local std::unique_ptr<std::array<ViewInfo, kViewListCapacity>> entries;
    if (!entries) entries = std::make_unique<std::array<ViewInfo, kViewListCapacity>>();
    return *entries;
}

std::optional<ViewInfo> findListed(std::span<const ViewInfo> list, std::string_view label) {
    for (const ViewInfo& entry : list) {
        if (entry.label == label) return entry;
    }
    return std::nullopt;
}

Result<std::string_view> writeView(BridgeFamilyBuffers& buffers, const ViewInfo& view) {
    return writeResult(buffers.output, [&](BoundedWriter& out) { return writeViewJsonToWriter(view, out); });
}

Status checkViewWindowId(const BridgeFamilyCall& call) {
    return checkPayloadWindowId(call.request.payload, call.callerWindowId, Error::InvalidViewWindowId,
                                Error::CrossWindowViewDenied);
}

Result<std::string_view> createViewFromJson(Runtime& runtime, const BridgeFamilyCall& call,
                                            BridgeFamilyBuffers& buffers) {
    PayloadScratch scratch{buffers.scratch};
    ViewOptions options = TRY(viewCreateOptionsFromJson(call.request.payload, call.callerWindowId, scratch));
    return writeView(buffers, TRY(createView(runtime, options)));
}

Result<std::string_view> updateViewFromJson(Runtime& runtime, const BridgeFamilyCall& call,
                                            BridgeFamilyBuffers& buffers) {
    PayloadScratch scratch{buffers.scratch};
    ViewUpdateRequest request = TRY(viewUpdateFromJson(call.request.payload, call.callerWindowId, scratch));
    return writeView(buffers, TRY(updateView(runtime, call.callerWindowId, request.label, request.update)));
}

Result<std::string_view> setViewFrameFromJson(Runtime& runtime, const BridgeFamilyCall& call,
                                              BridgeFamilyBuffers& buffers) {
    PayloadScratch scratch{buffers.scratch};
    std::string_view label = TRY(viewLabelFromJson(call.request.payload, scratch));
    TRY(checkViewWindowId(call));
    ViewUpdate update;
    update.frame = TRY(viewFrameFromJson(call.request.payload, true));
    return writeView(buffers, TRY(updateView(runtime, call.callerWindowId, label, update)));
}

Result<std::string_view> setViewVisibleFromJson(Runtime& runtime, const BridgeFamilyCall& call,
                                                BridgeFamilyBuffers& buffers) {
    PayloadScratch scratch{buffers.scratch};
    std::string_view label = TRY(viewLabelFromJson(call.request.payload, scratch));
    ViewUpdate update;
    update.visible = jsonBoolField(call.request.payload, "visible");
    if (!update.visible) return fail(Error::InvalidViewOptions);
    TRY(checkViewWindowId(call));
    return writeView(buffers, TRY(updateView(runtime, call.callerWindowId, label, update)));
}

Result<std::string_view> focusViewFromJson(Runtime& runtime, const BridgeFamilyCall& call,
                                           BridgeFamilyBuffers& buffers) {
    PayloadScratch scratch{buffers.scratch};
    std::string_view label = TRY(viewLabelFromJson(call.request.payload, scratch));
    TRY(checkViewWindowId(call));
    TRY(focusView(runtime, call.callerWindowId, label));
    std::optional<ViewInfo> focused = findListed(listViews(runtime, call.callerWindowId, viewListScratch()), label);
    if (!focused) return fail(Error::ViewNotFound);
    return writeView(buffers, *focused);
}

// A window without a focus candidate has no view to step to: ViewNotFound, as for a label that
// names nothing.
Result<std::string_view> focusAdjacentViewFromJson(Runtime& runtime, const BridgeFamilyCall& call,
                                                   BridgeFamilyBuffers& buffers, bool backwards) {
    TRY(checkViewWindowId(call));
    std::optional<ViewInfo> focused = TRY(focusAdjacentView(runtime, call.callerWindowId, backwards));
    if (!focused) return fail(Error::ViewNotFound);
    return writeView(buffers, *focused);
}

Result<std::string_view> focusNextViewFromJson(Runtime& runtime, const BridgeFamilyCall& call,
                                               BridgeFamilyBuffers& buffers) {
    return focusAdjacentViewFromJson(runtime, call, buffers, false);
}

Result<std::string_view> focusPreviousViewFromJson(Runtime& runtime, const BridgeFamilyCall& call,
                                                   BridgeFamilyBuffers& buffers) {
    return focusAdjacentViewFromJson(runtime, call, buffers, true);
}

// The payload is not read.
Result<std::string_view> listViewsAsJson(Runtime& runtime, const BridgeFamilyCall& call, BridgeFamilyBuffers& buffers) {
    if (findOpenWindow(runtime, call.callerWindowId) == nullptr) return fail(Error::WindowNotFound);
    std::span<const ViewInfo> list = listViews(runtime, call.callerWindowId, viewListScratch());
    return writeResult(buffers.output, [&](BoundedWriter& out) {
        return writeJsonArray(out, list,
                              [](BoundedWriter& o, const ViewInfo& view) { return writeViewJsonToWriter(view, o); });
    });
}

// Answers the view as it was before the close, closed and without focus.
Result<std::string_view> closeViewFromJson(Runtime& runtime, const BridgeFamilyCall& call,
                                           BridgeFamilyBuffers& buffers) {
    PayloadScratch scratch{buffers.scratch};
    std::string_view label = TRY(viewLabelFromJson(call.request.payload, scratch));
    TRY(checkViewWindowId(call));
    std::optional<ViewInfo> closing = findListed(listViews(runtime, call.callerWindowId, viewListScratch()), label);
    if (!closing) return fail(Error::ViewNotFound);
    closing->focused = false;
    closing->open = false;
    std::string_view json = TRY(writeView(buffers, *closing));
    TRY(closeView(runtime, call.callerWindowId, label));
    return json;
}

constexpr FamilyCommand kViewCommands[] = {
    {"kelvo.view.create", createViewFromJson},
    {"kelvo.view.update", updateViewFromJson},
    {"kelvo.view.setFrame", setViewFrameFromJson},
    {"kelvo.view.setVisible", setViewVisibleFromJson},
    {"kelvo.view.focus", focusViewFromJson},
    {"kelvo.view.focusNext", focusNextViewFromJson},
    {"kelvo.view.focusPrevious", focusPreviousViewFromJson},
    {"kelvo.view.list", listViewsAsJson},
    {"kelvo.view.close", closeViewFromJson},
};

}  // namespace

std::string_view dispatchViewBridgeCommand(Runtime& runtime, const BridgeFamilyCall& call,
                                           BridgeFamilyBuffers& buffers) {
    return dispatchFamilyCommand(runtime, call, buffers, kViewCommands, "Unknown view command");
}

}  // namespace kelvo

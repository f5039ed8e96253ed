#include "runtime/bridge/view_commands.hpp"

#include <array>
#include <memory>

#include "runtime/bridge/family_support.hpp"
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

// Results go to the output buffer: the scratch area may be taken whole by decoded strings.
Result<std::string_view> writeView(BuiltinCommandContext& context, const ViewInfo& view) {
    return writeJsonText(context.output, [&](BoundedWriter& out) { return writeViewJsonToWriter(view, out); });
}

std::uint64_t callerWindow(const BuiltinCommandContext& context) { return context.call.callerWindowId; }

Status checkViewWindowId(const BuiltinCommandContext& context) {
    return checkPayloadWindowId(context.payload(), callerWindow(context), Error::InvalidViewWindowId,
                                Error::CrossWindowViewDenied);
}

Result<std::string_view> createViewFromJson(BuiltinCommandContext& context) {
    ViewOptions options = TRY(viewCreateOptionsFromJson(context.payload(), callerWindow(context), context.scratch));
    return writeView(context, TRY(createView(context.runtime, options)));
}

Result<std::string_view> updateViewFromJson(BuiltinCommandContext& context) {
    ViewUpdateRequest request = TRY(viewUpdateFromJson(context.payload(), callerWindow(context), context.scratch));
    return writeView(context, TRY(updateView(context.runtime, callerWindow(context), request.label, request.update)));
}

Result<std::string_view> setViewFrameFromJson(BuiltinCommandContext& context) {
    std::string_view label = TRY(viewLabelFromJson(context.payload(), context.scratch));
    TRY(checkViewWindowId(context));
    ViewUpdate update;
    update.frame = TRY(viewFrameFromJson(context.payload(), true));
    return writeView(context, TRY(updateView(context.runtime, callerWindow(context), label, update)));
}

Result<std::string_view> setViewVisibleFromJson(BuiltinCommandContext& context) {
    std::string_view label = TRY(viewLabelFromJson(context.payload(), context.scratch));
    ViewUpdate update;
    update.visible = jsonBoolField(context.payload(), "visible");
    if (!update.visible) return fail(Error::InvalidViewOptions);
    TRY(checkViewWindowId(context));
    return writeView(context, TRY(updateView(context.runtime, callerWindow(context), label, update)));
}

Result<std::string_view> focusViewFromJson(BuiltinCommandContext& context) {
    std::string_view label = TRY(viewLabelFromJson(context.payload(), context.scratch));
    TRY(checkViewWindowId(context));
    TRY(focusView(context.runtime, callerWindow(context), label));
    std::optional<ViewInfo> focused =
        findListed(listViews(context.runtime, callerWindow(context), viewListScratch()), label);
    if (!focused) return fail(Error::ViewNotFound);
    return writeView(context, *focused);
}

// A window without a focus candidate has no view to step to: ViewNotFound, as for a label that
// names nothing.
Result<std::string_view> focusAdjacentViewFromJson(BuiltinCommandContext& context, bool backwards) {
    TRY(checkViewWindowId(context));
    std::optional<ViewInfo> focused = TRY(focusAdjacentView(context.runtime, callerWindow(context), backwards));
    if (!focused) return fail(Error::ViewNotFound);
    return writeView(context, *focused);
}

Result<std::string_view> focusNextViewFromJson(BuiltinCommandContext& context) {
    return focusAdjacentViewFromJson(context, false);
}

Result<std::string_view> focusPreviousViewFromJson(BuiltinCommandContext& context) {
    return focusAdjacentViewFromJson(context, true);
}

// The payload is not read.
Result<std::string_view> listViewsAsJson(BuiltinCommandContext& context) {
    if (findOpenWindow(context.runtime, callerWindow(context)) == nullptr) return fail(Error::WindowNotFound);
    std::span<const ViewInfo> list = listViews(context.runtime, callerWindow(context), viewListScratch());
    return writeJsonText(context.output, [&](BoundedWriter& out) {
        return writeJsonArray(out, list,
                              [](BoundedWriter& o, const ViewInfo& view) { return writeViewJsonToWriter(view, o); });
    });
}

// Answers the view as it was before the close, closed and without focus.
Result<std::string_view> closeViewFromJson(BuiltinCommandContext& context) {
    std::string_view label = TRY(viewLabelFromJson(context.payload(), context.scratch));
    TRY(checkViewWindowId(context));
    std::optional<ViewInfo> closing =
        findListed(listViews(context.runtime, callerWindow(context), viewListScratch()), label);
    if (!closing) return fail(Error::ViewNotFound);
    closing->focused = false;
    closing->open = false;
    std::string_view json = TRY(writeView(context, *closing));
    TRY(closeView(context.runtime, callerWindow(context), label));
    return json;
}

constexpr BuiltinCommand kViewCommands[] = {
    {"create", createViewFromJson},
    {"update", updateViewFromJson},
    {"setFrame", setViewFrameFromJson},
    {"setVisible", setViewVisibleFromJson},
    {"focus", focusViewFromJson},
    {"focusNext", focusNextViewFromJson},
    {"focusPrevious", focusPreviousViewFromJson},
    {"list", listViewsAsJson},
    {"close", closeViewFromJson},
};

}  // namespace

std::string_view dispatchViewBridgeCommand(Runtime& runtime, const BridgeFamilyCall& call,
                                           BridgeFamilyBuffers& buffers) {
    return answerBuiltinCommand(runtime, call, buffers, "kelvo.view.", kViewCommands, "Unknown view command");
}

}  // namespace kelvo

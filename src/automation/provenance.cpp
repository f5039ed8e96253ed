#include <array>

#include "automation/canvas_commands.hpp"
#include "base/bounded_writer.hpp"
#include "base/file_replace.hpp"
#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/canvas/widget_targets.hpp"
#include "runtime/runtime.hpp"
#include "widgets/widget_routing.hpp"

namespace kelvo {

namespace {

constexpr std::string_view kProvenanceFile = "provenance.txt";
constexpr std::size_t kProvenanceLineBytes = 1024;

constexpr std::string_view kNoView =
    "no open gpu_surface view with this label - `kelvo automate list` names the open views";
constexpr std::string_view kNoWidget =
    "no widget with this id in the view - ids go stale across rebuilds, re-read the snapshot";
constexpr std::string_view kNoWidgetAtPoint =
    "no widget at the given point (view-local points; the snapshot's bounds= fields name each widget's rectangle)";
constexpr std::string_view kNoProvenance =
    "the app exposes no widget provenance - it needs the markup interpreter (UiAppFeatures.runtime_markup) running "
    "under automation; compiled-only (release) views report none";

// Writes the error line as the whole of "provenance.txt"; the error of that, else `answer`.
Status writeProvenanceError(const AutomationServer& server, std::string_view label, std::uint64_t widgetId,
                            std::string_view message, Status answer) {
    std::array<char, kProvenanceLineBytes> bytes;
    BoundedWriter line(bytes);
    line.write("provenance error view=");
    line.write(label);
    line.write(" id=");
    line.writeUnsigned(widgetId);
    line.write(" message=\"");
    line.write(message);
    line.write("\"\n");
    if (line.overflowed()) return fail(Error::CommandTooLarge);

    InlineBytes<kMaxIoPath> path;
    if (!path.assign(server.folder.view()) || !path.append("/") || !path.append(kProvenanceFile)) {
        return fail(Error::NameTooLong);
    }
    TRY(ioMakePath(server.io, server.folder.view(), kAutomationFolderMode));
    TRY(replaceFileContent(server.io, path.view(), line.text(), kAutomationFileMode));
    return answer;
}

}  // namespace

Status dispatchAutomationProvenance(Runtime& runtime, const AppBinding& binding, const AutomationServer& server,
                                    const AutomationProvenanceTarget& target) {
    ++runtime.changeCounter;
    Result<std::size_t> viewIndex = canvasViewIndexByLabel(runtime, target.view);
    if (!viewIndex)
        return writeProvenanceError(server, target.view, target.widgetId, kNoView, fail(Error::ViewNotFound));
    const RuntimeView& view = runtime.views[*viewIndex];
    const CanvasSlot* slot = canvasSlotOf(runtime.canvasSlots, view);
    const WidgetLayoutTree tree = slot != nullptr ? slot->tree.tree() : WidgetLayoutTree{};

    std::uint64_t widgetId = 0;
    if (target.pointGiven) {
        const WidgetHit hit =
            slot != nullptr ? hitTestWidgetLayout(tree, {target.x, target.y}, slot->tree.tokens) : WidgetHit{};
        if (!hit.found || hit.id == 0) {
            return writeProvenanceError(server, target.view, 0, kNoWidgetAtPoint, fail(Error::InvalidCommand));
        }
        widgetId = hit.id;
    } else {
        const bool known = target.widgetId != 0 &&
                           std::any_of(tree.begin(), tree.end(),
                                       [&](const WidgetLayoutNode& node) { return node.id == target.widgetId; });
        if (!known)
            return writeProvenanceError(server, target.view, target.widgetId, kNoWidget, fail(Error::InvalidCommand));
        widgetId = target.widgetId;
    }

    runtime.provenanceAnswered = false;
    const LabelBytes label = view.label;
    if (binding.eventHandler != nullptr) {
        TRY(binding.eventHandler(binding.appContext, runtime,
                                 RuntimeEvent(AutomationProvenanceEvent{view.windowId, label.view(), widgetId})));
    }
    if (runtime.provenanceAnswered) return {};
    return writeProvenanceError(server, label.view(), widgetId, kNoProvenance, {});
}

}  // namespace kelvo

#include "input_replay.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

#include "lab_scene.hpp"
#include "runtime/canvas/canvas_input.hpp"
#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/flow/app_binding.hpp"
#include "runtime/runtime.hpp"
#include "runtime_rewind.hpp"
#include "widgets/widget_tree_text.hpp"

namespace kelvo {
namespace {

struct RuntimeRelease {
    void operator()(Runtime* runtime) const { releaseRuntime(runtime); }
};

// The replay's platform: an in-memory clipboard, and every call a user would notice written out.
struct ReplayPlatform {
    std::string* out = nullptr;
    std::string clipboard;
    bool dragFails = false;
};

ReplayPlatform& replayOf(void* services) { return *static_cast<ReplayPlatform*>(services); }

void appendf(std::string& out, const char* format, auto... values) {
    char line[512];
    const int n = std::snprintf(line, sizeof line, format, values...);
    if (n > 0) out.append(line, std::min<std::size_t>(static_cast<std::size_t>(n), sizeof line - 1));
}

void appendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        if (c == '\n' || c == '\t' || c == '\r') {
            out += c == '\n' ? "\\n" : c == '\t' ? "\\t" : "\\r";
            continue;
        }
        out += c;
    }
    out += '"';
}

Status acceptView(void*, const ViewOptions&) { return {}; }
Status accept(void*, std::uint64_t, std::string_view) { return {}; }
Status acceptAccessibility(void*, std::uint64_t, std::string_view, std::span<const WidgetAccessibilityNode>) {
    return {};
}

Result<std::size_t> readClipboard(void* services, std::span<char> out) {
    const std::string& text = replayOf(services).clipboard;
    if (text.size() > out.size()) return fail(Error::NoSpaceLeft);
    std::copy(text.begin(), text.end(), out.begin());
    return text.size();
}

Result<std::size_t> readClipboardData(void* services, std::string_view, std::span<std::uint8_t> out) {
    const std::string& text = replayOf(services).clipboard;
    if (text.size() > out.size()) return fail(Error::NoSpaceLeft);
    std::copy(text.begin(), text.end(), out.begin());
    return text.size();
}

Status writeClipboard(void* services, std::string_view text) {
    ReplayPlatform& replay = replayOf(services);
    replay.clipboard = text;
    *replay.out += "  > clipboard ";
    appendQuoted(*replay.out, text);
    *replay.out += '\n';
    return {};
}

Status writeClipboardData(void* services, std::string_view, std::span<const std::uint8_t> data) {
    return writeClipboard(services, {reinterpret_cast<const char*>(data.data()), data.size()});
}

Status startWindowDrag(void* services, std::uint64_t windowId) {
    ReplayPlatform& replay = replayOf(services);
    appendf(*replay.out, "  > window drag %llu%s\n", static_cast<unsigned long long>(windowId),
            replay.dragFails ? " (unsupported)" : "");
    if (replay.dragFails) return fail(Error::UnsupportedService);
    return {};
}

Status setViewCursor(void* services, std::uint64_t, std::string_view, CursorKind cursor) {
    static constexpr const char* kNames[] = {"arrow", "link", "text", "resize"};
    appendf(*replayOf(services).out, "  > cursor %s\n", kNames[static_cast<unsigned>(cursor) & 3u]);
    return {};
}

Status showContextMenu(void* services, std::uint64_t, std::string_view, const ContextMenuRequest& menu) {
    std::string& out = *replayOf(services).out;
    appendf(out, "  > menu at %g,%g:", static_cast<double>(menu.x), static_cast<double>(menu.y));
    for (const ContextMenuItem& item : menu.items) {
        if (item.separator) {
            out += " -";
            continue;
        }
        appendf(out, " %u=", item.id);
        appendQuoted(out, item.label);
        if (!item.enabled) out += "(off)";
    }
    out += '\n';
    return {};
}

void appendPath(std::string& out, std::span<const std::uint64_t> path) {
    out += " path=";
    for (std::size_t i = 0; i < path.size(); ++i) {
        appendf(out, i == 0 ? "%llu" : ",%llu", static_cast<unsigned long long>(path[i]));
    }
    if (path.empty()) out += '-';
}

void appendModifiers(std::string& out, const KeyModifiers& m) {
    const std::pair<bool, const char*> names[] = {{m.primary, "primary"},
                                                  {m.command, "command"},
                                                  {m.control, "control"},
                                                  {m.option, "option"},
                                                  {m.shift, "shift"}};
    bool first = true;
    for (const auto& [held, name] : names) {
        if (!held) continue;
        out += first ? " mods=" : ",";
        out += name;
        first = false;
    }
}

constexpr const char* kPhaseNames[] = {"move", "down", "drag", "up", "leave", "wheel"};
constexpr const char* kInputKindNames[] = {"down", "up",    "leave", "move",    "drag",   "wheel",
                                           "key",  "keyup", "text",  "compose", "commit", "cancel"};

// One runtime event as one line.
void printEvent(std::string& out, const RuntimeEvent& event) {
    const auto id = [](std::uint64_t value) { return static_cast<unsigned long long>(value); };
    const auto f = [](float value) { return static_cast<double>(value); };
    out += "  ";
    std::visit(
        [&](const auto& e) {
            using T = std::decay_t<decltype(e)>;
            if constexpr (std::is_same_v<T, CommandEvent>) {
                out += "command ";
                out += e.name;
                appendf(out, " source=%u", static_cast<unsigned>(e.source));
            } else if constexpr (std::is_same_v<T, GpuSurfaceInput>) {
                appendf(out, "gpu_surface_input %s label=", kInputKindNames[static_cast<unsigned>(e.kind) % 12]);
                out += e.label;
            } else if constexpr (std::is_same_v<T, CanvasWidgetPointerEvent>) {
                appendf(out, "pointer %s target=%llu hit=%d button=%u clicks=%u",
                        kPhaseNames[static_cast<unsigned>(e.phase) % 6], id(e.targetWidgetId), e.hit ? 1 : 0, e.button,
                        e.clickCount);
                appendPath(out, e.path);
            } else if constexpr (std::is_same_v<T, CanvasWidgetKeyboardEvent>) {
                appendf(out, "keyboard widget=%llu key=", id(e.widgetId));
                out += e.key;
                out += " text=";
                appendQuoted(out, e.text);
                appendModifiers(
                    out,
                    KeyModifiers{
                        .primary = e.primaryOrCommand, .control = e.control, .option = e.option, .shift = e.shift});
            } else if constexpr (std::is_same_v<T, CanvasWidgetScrollEvent>) {
                appendf(out, "scroll widget=%llu offset=%g viewport=%g content=%g", id(e.widgetId), f(e.offset),
                        f(e.viewportExtent), f(e.contentExtent));
            } else if constexpr (std::is_same_v<T, CanvasWidgetDragEvent>) {
                appendf(out, "drag widget=%llu at %g,%g", id(e.widgetId), f(e.x), f(e.y));
                appendPath(out, e.path);
            } else if constexpr (std::is_same_v<T, CanvasWidgetContextMenuRequestEvent>) {
                appendf(out, "context_menu_request widget=%llu", id(e.widgetId));
            } else if constexpr (std::is_same_v<T, CanvasWidgetDismissEvent>) {
                appendf(out, "dismiss widget=%llu", id(e.widgetId));
            } else if constexpr (std::is_same_v<T, CanvasWidgetContextPressEvent>) {
                appendf(out, "context_press target=%llu at %g,%g", id(e.targetWidgetId), f(e.x), f(e.y));
            } else if constexpr (std::is_same_v<T, CanvasWidgetResizeEvent>) {
                appendf(out, "resize widget=%llu size=%g", id(e.widgetId), f(e.size));
            } else if constexpr (std::is_same_v<T, CanvasWidgetChangeEvent>) {
                appendf(out, "change widget=%llu value=%g", id(e.widgetId), f(e.value));
            } else {
                appendf(out, "event %u", static_cast<unsigned>(event.index()));
            }
        },
        event);
    out += '\n';
}

struct Replay {
    std::string out;
    ReplayPlatform platform;
};

Status recordEvent(void* context, Runtime&, const RuntimeEvent& event) {
    printEvent(static_cast<Replay*>(context)->out, event);
    return {};
}

// What a user sees of the view besides its events: the focused widget and the texts.
struct Visible {
    std::uint64_t focused = 0;
    std::vector<std::pair<std::uint64_t, std::string>> texts;
};

Visible visibleState(const Runtime& runtime) {
    Visible visible;
    if (runtime.views.empty()) return visible;
    const RuntimeView& view = runtime.views[0];
    visible.focused = view.canvas.interaction.focusedWidget;
    if (const CanvasSlot* slot = canvasSlotOf(runtime.canvasSlots, view)) {
        for (const WidgetLayoutNode& node : slot->tree.tree()) {
            if (isTextEntryKind(node.widgetKind())) visible.texts.emplace_back(node.id, std::string(node.text));
        }
    }
    return visible;
}

void printChanges(std::string& out, const Visible& before, const Visible& after) {
    if (before.focused != after.focused) {
        appendf(out, "  = focus %llu\n", static_cast<unsigned long long>(after.focused));
    }
    for (std::size_t i = 0; i < after.texts.size() && i < before.texts.size(); ++i) {
        if (after.texts[i].second == before.texts[i].second) continue;
        appendf(out, "  = text %llu ", static_cast<unsigned long long>(after.texts[i].first));
        appendQuoted(out, after.texts[i].second);
        out += '\n';
    }
}

// The words of a script line; a quoted word keeps its spaces (\" and \\ escape; \n, \t and \r).
std::optional<std::vector<std::string>> splitWords(std::string_view line) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ') ++i;
        if (i >= line.size()) break;
        std::string word;
        bool quoted = false;
        while (i < line.size() && (quoted || line[i] != ' ')) {
            const char c = line[i++];
            if (c == '"') {
                quoted = !quoted;
            } else if (quoted && c == '\\' && i < line.size()) {
                const char e = line[i++];
                word += e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e;
            } else {
                word += c;
            }
        }
        if (quoted) return std::nullopt;
        words.push_back(std::move(word));
    }
    return words;
}

template <class T>
bool parseNumber(std::string_view text, T& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc{} && end == text.data() + text.size();
}

bool applyModifiers(std::string_view list, KeyModifiers& m) {
    while (!list.empty()) {
        const std::size_t comma = list.find(',');
        const std::string_view name = list.substr(0, comma);
        if (name == "primary")
            m.primary = true;
        else if (name == "command")
            m.command = true;
        else if (name == "control")
            m.control = true;
        else if (name == "option")
            m.option = true;
        else if (name == "shift")
            m.shift = true;
        else
            return false;
        list = comma == std::string_view::npos ? std::string_view{} : list.substr(comma + 1);
    }
    return true;
}

std::optional<GpuSurfaceInputKind> inputKindOf(std::string_view word) {
    for (unsigned i = 0; i < 12; ++i) {
        if (word == kInputKindNames[i]) return static_cast<GpuSurfaceInputKind>(i);
    }
    return std::nullopt;
}

// Fills `input` from a script line's words; the texts point into `words`. False for a bad line.
bool parseInput(const std::vector<std::string>& words, GpuSurfaceInput& input, std::uint64_t& clock) {
    const std::optional<GpuSurfaceInputKind> kind = inputKindOf(words[0]);
    if (!kind) return false;
    input.kind = *kind;
    std::size_t next = 1;
    if (static_cast<std::uint8_t>(*kind) <= 5 && *kind != GpuSurfaceInputKind::pointer_leave) {
        if (words.size() < 3 || !parseNumber(words[1], input.x) || !parseNumber(words[2], input.y)) return false;
        next = 3;
    } else if (*kind == GpuSurfaceInputKind::key_down || *kind == GpuSurfaceInputKind::key_up) {
        if (words.size() < 2) return false;
        input.key = words[1];
        next = 2;
    } else if (*kind != GpuSurfaceInputKind::pointer_leave) {
        if (words.size() < 2) return false;
        input.text = words[1];
        next = 2;
    }
    clock += 1'000'000'000;
    input.timestampNs = clock;
    for (std::size_t i = next; i < words.size(); ++i) {
        const std::string_view word = words[i];
        const std::size_t eq = word.find('=');
        if (eq == std::string_view::npos) return false;
        const std::string_view name = word.substr(0, eq);
        const std::string_view value = word.substr(eq + 1);
        bool ok = true;
        if (name == "t")
            ok = parseNumber(value, input.timestampNs), clock = input.timestampNs;
        else if (name == "button")
            ok = parseNumber(value, input.button);
        else if (name == "dx")
            ok = parseNumber(value, input.dx);
        else if (name == "dy")
            ok = parseNumber(value, input.dy);
        else if (name == "window")
            ok = parseNumber(value, input.windowId);
        else if (name == "label")
            input.label = value;
        else if (name == "text")
            input.text = value;
        else if (name == "mods")
            ok = applyModifiers(value, input.modifiers);
        else
            ok = false;
        if (!ok) return false;
    }
    return true;
}

}  // namespace

struct InputReplayScene {
    std::unique_ptr<Runtime, RuntimeRelease> runtime;
    Replay replay;
    // The runtime's state as built, put back before every replay but the first.
    RuntimeRewind built;
    bool replayed = false;
};

void InputReplaySceneRelease::operator()(InputReplayScene* scene) const {
    stopTrackingRuntimeWrites(scene->built);
    delete scene;
}

bool trackInputReplaySceneWrites(InputReplayScene& scene) { return trackRuntimeWrites(*scene.runtime, scene.built); }

InputReplaySceneHandle buildInputReplayScene(std::string_view treeText, InputReplay& failure) {
    auto tree = std::make_unique<WidgetTreeStorage>();
    std::uint32_t errorLine = 0;
    if (Status parsed = parseWidgetTreeText(treeText, *tree, &errorLine); !parsed || tree->node_count == 0) {
        appendf(failure.text, "! tree line %u: %s\n", errorLine,
                std::string(errorName(parsed ? Error::InvalidWidgetTreeText : parsed.error())).c_str());
        failure.ok = false;
        return nullptr;
    }
    Result<Runtime*> allocated = allocateRuntime();
    if (!allocated) {
        failure.text = "! no runtime\n";
        failure.ok = false;
        return nullptr;
    }
    InputReplaySceneHandle scene(new InputReplayScene);
    scene->runtime.reset(*allocated);
    Runtime& runtime = *scene->runtime;
    scene->replay.platform.out = &scene->replay.out;
    Platform& platform = runtime.platform;
    platform.name = "replay";
    platform.services = &scene->replay.platform;
    platform.slots.createView = &acceptView;
    platform.slots.requestGpuSurfaceFrame = &accept;
    platform.slots.noteGpuSurfaceInput = &accept;
    platform.slots.updateWidgetAccessibility = &acceptAccessibility;
    platform.slots.readClipboard = &readClipboard;
    platform.slots.writeClipboard = &writeClipboard;
    platform.slots.readClipboardData = &readClipboardData;
    platform.slots.writeClipboardData = &writeClipboardData;
    platform.slots.startWindowDrag = &startWindowDrag;
    platform.slots.setViewCursor = &setViewCursor;
    platform.slots.showContextMenu = &showContextMenu;
    runtime.webViewLayer = false;
    if (Status built = buildLabScene(runtime, *tree); !built) {
        appendf(scene->replay.out, "! scene: %s\n", std::string(errorName(built.error())).c_str());
        failure.text = std::move(scene->replay.out);
        failure.ok = false;
        return nullptr;
    }
    saveRuntimeState(runtime, scene->built);
    return scene;
}

InputReplay replayCanvasInputScript(std::string_view treeText, std::string_view scriptText) {
    InputReplay result;
    InputReplaySceneHandle scene = buildInputReplayScene(treeText, result);
    return scene ? replayCanvasInputScript(*scene, scriptText) : result;
}

InputReplay replayCanvasInputScript(InputReplayScene& scene, std::string_view scriptText) {
    Runtime& runtime = *scene.runtime;
    Replay& replay = scene.replay;
    if (scene.replayed) {
        rewindRuntime(runtime, scene.built);
        replay.out.clear();
        replay.platform.clipboard.clear();
        replay.platform.dragFails = false;
    }
    scene.replayed = true;
    Platform& platform = runtime.platform;
    InputReplay result;
    AppBinding binding;
    binding.appContext = &replay;
    binding.eventHandler = &recordEvent;

    std::uint64_t clock = 0;
    std::size_t lineNumber = 0;
    std::size_t start = 0;
    while (start < scriptText.size()) {
        std::size_t end = scriptText.find('\n', start);
        if (end == std::string_view::npos) end = scriptText.size();
        std::string_view line = scriptText.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line[0] == '#') continue;
        const std::optional<std::vector<std::string>> words = splitWords(line);
        replay.out += line;
        replay.out += '\n';
        if (words && words->size() == 2 && (*words)[0] == "clipboard") {
            replay.platform.clipboard = (*words)[1];
            continue;
        }
        if (words && words->size() == 1 && (*words)[0] == "no-menus") {
            platform.slots.showContextMenu = nullptr;
            continue;
        }
        if (words && words->size() == 1 && (*words)[0] == "drag-fails") {
            replay.platform.dragFails = true;
            continue;
        }
        GpuSurfaceInput input;
        input.windowId = kMainWindowId;
        input.label = kLabCanvasLabel;
        if (!words || words->empty() || !parseInput(*words, input, clock)) {
            appendf(replay.out, "! script line %zu: not an input\n", lineNumber);
            result.ok = false;
            break;
        }
        const Visible before = visibleState(runtime);
        if (Status dispatched = dispatchGpuSurfaceInput(runtime, binding, input); !dispatched) {
            appendf(replay.out, "  ! %s\n", std::string(errorName(dispatched.error())).c_str());
        }
        printChanges(replay.out, before, visibleState(runtime));
        if (runtime.canvasBatch.depth != 0 || runtime.canvasBatch.accessibilityDeferral != 0) {
            replay.out += "  ! refresh batch left open\n";
        }
    }
    result.text = std::move(replay.out);
    return result;
}

}  // namespace kelvo

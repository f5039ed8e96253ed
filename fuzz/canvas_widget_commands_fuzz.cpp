// What tools and screen readers do to a canvas view, in arbitrary order: automation commands
// ("widget-click", "widget-hold", "widget-context-press", "widget-context-menu", "widget-drag",
// "widget-wheel", "widget-key", "widget-action", "screenshot", "provenance") run as the drain runs
// them (now and then from a command file at a frame request, which publishes the snapshot files),
// accessibility actions (codes 0 to 10 and beyond) with texts and selection ranges, and frames of
// the view between them, on a widget gallery. The application may answer the next event it hears
// by what applications do while a command is under way: closing the view before the canvas view
// (whose record then moves) or installing another tree; and the platform's services may fail from
// any step on. No sequence may crash or trip a sanitizer, every complete command file is consumed,
// and afterwards no refresh batch is left open, the bridge router is free, and every text entry
// holds valid UTF-8 with its selection and composition inside its text. Each input starts from the
// scene as it was built.

#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "automation/automation.hpp"
#include "automation/command_run.hpp"
#include "base/memory_io.hpp"
#include "base/utf8.hpp"
#include "fuzz_input.hpp"
#include "lab_image.hpp"
#include "runtime/canvas/canvas_images.hpp"
#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/canvas/view_widget_tree.hpp"
#include "runtime/flow/dispatch.hpp"
#include "runtime/runtime.hpp"
#include "runtime/views/view_close.hpp"
#include "runtime/views/view_create.hpp"
#include "runtime/views/view_lookup.hpp"
#include "runtime/windows/window_table.hpp"
#include "runtime_rewind.hpp"

namespace {

using namespace kelvo;

constexpr std::string_view kFolder = "/auto";
constexpr std::string_view kCommandPath = "/auto/command-1.txt";
constexpr std::size_t kMaxSteps = 6;

void check(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "canvas_widget_commands_fuzz: %s\n", what);
    std::abort();
}

// The platform: views and frames accepted, packets taken and dropped, an in-memory clipboard.
// An input may make some of its services fail, as a host's can.
enum class Fault : std::uint8_t { focus, accessibility, frames, input, packets, clipboard, menus, timers };

struct FuzzPlatform {
    std::string clipboard;
    std::uint8_t faults = 0;  // a bit for each Fault

    [[nodiscard]] Status answer(Fault fault) const {
        return (faults >> static_cast<unsigned>(fault) & 1u) != 0 ? fail(Error::UnsupportedService) : Status{};
    }
};

FuzzPlatform& platformOf(void* services) { return *static_cast<FuzzPlatform*>(services); }

Status acceptView(void*, const ViewOptions&) { return {}; }
Status acceptViewCall(void*, std::uint64_t, std::string_view) { return {}; }
Status focusView(void* services, std::uint64_t, std::string_view) { return platformOf(services).answer(Fault::focus); }
Status requestViewFrame(void* services, std::uint64_t, std::string_view) {
    return platformOf(services).answer(Fault::frames);
}
Status noteInput(void* services, std::uint64_t, std::string_view) { return platformOf(services).answer(Fault::input); }
Status acceptWindowCall(void*, std::uint64_t) { return {}; }
Status startTimer(void* services, std::uint64_t, std::uint64_t, bool) {
    return platformOf(services).answer(Fault::timers);
}
Status cancelTimer(void* services, std::uint64_t) { return platformOf(services).answer(Fault::timers); }
Status requestFrame(void* services) { return platformOf(services).answer(Fault::frames); }
Status setCursor(void* services, std::uint64_t, std::string_view, CursorKind) {
    return platformOf(services).answer(Fault::timers);
}
Status showMenu(void* services, std::uint64_t, std::string_view, const ContextMenuRequest&) {
    return platformOf(services).answer(Fault::menus);
}
Status publishAccessibility(void* services, std::uint64_t, std::string_view, std::span<const WidgetAccessibilityNode>) {
    return platformOf(services).answer(Fault::accessibility);
}
Status presentPacket(void* services, std::uint64_t, std::string_view, const GpuSurfacePacketInfo&,
                     std::span<const std::uint8_t>) {
    return platformOf(services).answer(Fault::packets);
}

Result<std::size_t> readClipboard(void* services, std::span<char> out) {
    TRY(platformOf(services).answer(Fault::clipboard));
    const std::string& text = platformOf(services).clipboard;
    if (text.size() > out.size()) return fail(Error::NoSpaceLeft);
    std::copy(text.begin(), text.end(), out.begin());
    return text.size();
}

Status writeClipboard(void* services, std::string_view text) {
    TRY(platformOf(services).answer(Fault::clipboard));
    platformOf(services).clipboard = text;
    return {};
}

// A gallery of every widget kind that takes actions, small so that each input runs quickly: a
// button with a command and a context menu, a select, toggles, a slider, text entries (one
// read-only, one in a group, one in an accordion, one in a popover, one in a hidden panel), list
// items (one without area), a menu, grid cells, a tree item, a split view beside a drop target, a
// virtual list, a resizable panel, a dialog, a tooltip, and a button in a popover without an id,
// overlapping in places.
constexpr const char* kGallery =
    "column id=1 rect=0,0,480,300 clips=1\n"
    "  button id=2 rect=8,8,70,26 text=\"Save\" action=\"doc.save\"\n"
    "    @menu_item label=\"Rename\"\n"
    "    @menu_item label=\"\" separator=1\n"
    "    @menu_item label=\"Delete\" enabled=0\n"
    "  select id=3 rect=84,8,90,26 placeholder=\"Format\" action=\"format.open\"\n"
    "  checkbox id=4 rect=180,8,80,26 text=\"Wrap\" selected=1\n"
    "  radio id=5 rect=266,8,70,26 text=\"Radio\"\n"
    "  slider id=6 rect=342,8,130,26 value=0.4\n"
    "  segmented_control id=7 rect=8,40,70,26 text=\"One\" selected=1\n"
    "  segmented_control id=8 rect=78,40,70,26 text=\"Two\" disabled=1\n"
    "  text_field id=9 rect=154,40,150,26 text=\"Zoë édits\" selection=1,6\n"
    "  combo_box id=10 rect=310,40,162,26 text=\"Markdown\"\n"
    "  text_area id=11 rect=8,72,200,56 text=\"A text area\\nwith two lines\" composition=2,6 selection=6,6\n"
    "  search_field id=12 rect=214,72,130,26 text=\"read only\" read_only=1\n"
    "  input_group id=13 rect=350,72,122,26\n"
    "    text_field id=14 rect=352,74,118,22 text=\"in a group\"\n"
    "  scroll_view id=15 rect=8,134,140,90 content_extent=160 value=20\n"
    "    list_item id=16 rect=8,134,140,30 text=\"Inbox\" selected=1\n"
    "    list_item id=17 rect=8,164,140,30 text=\"Drafts\" action=\"mail.drafts\"\n"
    "    list_item id=18 rect=8,194,140,0 text=\"Empty\"\n"
    "  menu id=19 rect=154,134,130,60\n"
    "    menu_item id=20 rect=158,138,122,26 text=\"Copy\"\n"
    "    menu_item id=21 rect=158,164,122,26 text=\"Disabled\" disabled=1\n"
    "  accordion id=22 rect=290,134,182,60 text=\"Details\" selected=1\n"
    "    text_field id=23 rect=298,164,166,26 text=\"inside\"\n"
    "  data_grid id=24 rect=154,198,130,28\n"
    "    data_row id=25 rect=154,198,130,28\n"
    "      data_cell id=26 rect=154,198,65,28 text=\"a.vrs\"\n"
    "      data_cell id=27 rect=219,198,65,28 text=\"12 KB\"\n"
    "  tree id=28 rect=290,198,182,28\n"
    "    list_item id=29 rect=290,198,182,28 text=\"Folder\" icon=\"folder\" action=\"tree.open\"\n"
    "  split_view id=30 rect=8,230,160,62\n"
    "    panel id=31 rect=8,230,76,62 actions=drop_files\n"
    "    split_divider id=32 rect=84,230,8,62\n"
    "    panel id=33 rect=92,230,76,62\n"
    "  virtual_list id=34 rect=174,230,140,62 virtual_count=40 item_extent=26 scrollable=1 value=26 clips=1\n"
    "    list_item id=35 rect=174,230,140,26 text=\"Row 1\"\n"
    "  resizable_panel id=36 rect=320,230,70,62\n"
    "  button id=37 rect=396,230,76,26 text=\"Pop\"\n"
    "    popover id=38 rect=300,164,170,60 out_of_flow=1\n"
    "      text_field id=39 rect=308,174,154,26 text=\"in a popover\"\n"
    "  panel id=40 rect=396,262,76,30 hidden=1\n"
    "    text_field id=41 rect=398,264,72,26 text=\"hidden\"\n"
    "  dialog id=42 rect=220,100,120,60 text=\"Dialog\" out_of_flow=1\n"
    "    button id=43 rect=230,126,60,26 text=\"OK\" action=\"dialog.ok\"\n"
    "  tooltip id=44 rect=396,266,76,24 text=\"Tip\" out_of_flow=1\n"
    "  popover rect=8,100,140,40 out_of_flow=1\n"
    "    button id=45 rect=16,106,120,26 text=\"Close me\" actions=press,dismiss\n";

// What the application may install instead: some of the gallery's ids on other kinds of widget,
// the others gone.
constexpr const char* kOtherTree =
    "column id=1 rect=0,0,480,300\n"
    "  button id=9 rect=8,8,120,26 text=\"Was a field\" action=\"doc.save\"\n"
    "  text_area id=16 rect=8,40,200,60 text=\"Was a list item\"\n"
    "  slider id=11 rect=8,110,200,26 value=0.9\n"
    "  popover id=6 rect=220,8,200,80 out_of_flow=1\n"
    "    text_field id=38 rect=228,16,180,26 text=\"Was a popover\"\n";

constexpr std::string_view kCanvasLabel = "canvas";
// A label view before the canvas view in the view table.
constexpr std::string_view kBadgeLabel = "badge";

// What the application does when it hears the next runtime event.
enum class Reaction : std::uint8_t { none, close_badge, reopen_badge, other_tree, gallery_again };
constexpr std::uint8_t kReactionCount = 5;

struct RuntimeRelease {
    void operator()(Runtime* runtime) const { releaseRuntime(runtime); }
};

ViewOptions badgeView() {
    return ViewOptions{.windowId = kMainWindowId,
                       .label = kBadgeLabel,
                       .text = "Gallery",
                       .frame = {0, 0, 60, 20},
                       .kind = ViewKind::label};
}

Status installTree(Runtime& runtime, const char* text) {
    const std::optional<std::size_t> canvas = findViewIndex(runtime, kMainWindowId, kCanvasLabel);
    if (!canvas) return fail(Error::ViewNotFound);
    return installCanvasWidgetTreeText(runtime, *canvas, text);
}

struct Rig {
    Rig() {
        Result<Runtime*> allocated = allocateRuntime();
        check(allocated.has_value(), "no runtime");
        runtime.reset(*allocated);
        Platform& p = runtime->platform;
        p.name = "fuzz";
        p.services = &platform;
        p.slots.createView = &acceptView;
        p.slots.closeView = &acceptViewCall;
        p.slots.focusView = &focusView;
        p.slots.requestGpuSurfaceFrame = &requestViewFrame;
        p.slots.noteGpuSurfaceInput = &noteInput;
        p.slots.startWindowDrag = &acceptWindowCall;
        p.slots.startTimer = &startTimer;
        p.slots.cancelTimer = &cancelTimer;
        p.slots.requestFrame = &requestFrame;
        p.slots.setViewCursor = &setCursor;
        p.slots.showContextMenu = &showMenu;
        p.slots.updateWidgetAccessibility = &publishAccessibility;
        p.slots.presentGpuSurfacePacketBinary = &presentPacket;
        p.slots.readClipboard = &readClipboard;
        p.slots.writeClipboard = &writeClipboard;
        memory.setRecordCalls(false);
        memory.putFolder(kFolder);
        runtime->io = memoryIo(memory);
        runtime->webViewLayer = false;
        buildScene();
        check(configureAutomationServer(automation->server, runtime->io, kFolder, kWindowTitle, 1'000'000'000)
                  .has_value(),
              "no automation");
        attachAutomation(*runtime, *automation);
        binding.appContext = this;
        binding.eventHandler = &onEvent;
        saveRuntimeState(*runtime, built);
        // Rewinds then restore only the pages an input wrote.
        (void)trackRuntimeWrites(*runtime, built);
    }

    // One window holding the badge and then the canvas view with the gallery.
    void buildScene() {
        static constexpr LabImagePixels kImage = labImagePixels();
        check(registerCanvasImage(*runtime, kLabImageId, kLabImageSide, kLabImageSide, kImage).has_value(), "no image");
        const RectF frame{0, 0, 480, 300};
        const Result<std::size_t> window =
            reserveWindow(*runtime, kMainWindowId, "main", kWindowTitle, std::nullopt, false);
        check(window.has_value(), "no window");
        runtime->windows[*window].frame = frame;
        runtime->windows[*window].focused = true;
        check(createView(*runtime, badgeView()).has_value(), "no badge");
        ViewOptions canvas{
            .windowId = kMainWindowId, .label = kCanvasLabel, .frame = frame, .kind = ViewKind::gpu_surface};
        canvas.gpu = GpuSurfaceOptions{GpuBackend::software, GpuPixelFormat::bgra8_unorm, GpuPresentMode::timer,
                                       GpuAlphaMode::opaque, GpuColorSpace::srgb,         true};
        check(createView(*runtime, canvas).has_value(), "no canvas view");
        check(installTree(*runtime, kGallery).has_value(), "the gallery does not show");
        const CanvasSlot* slot = canvasSlotOf(runtime->canvasSlots, runtime->views[canvasIndex()]);
        check(slot != nullptr, "no canvas slot");
        for (const WidgetLayoutNode& node : slot->tree.tree()) {
            if (node.id != 0) ids.push_back(node.id);
        }
    }

    [[nodiscard]] std::size_t canvasIndex() const {
        const std::optional<std::size_t> index = findViewIndex(*runtime, kMainWindowId, kCanvasLabel);
        check(index.has_value(), "the canvas view is gone");
        return *index;
    }

    static Status onEvent(void* context, Runtime& runtime, const RuntimeEvent&) {
        Rig& rig = *static_cast<Rig*>(context);
        switch (std::exchange(rig.reaction, Reaction::none)) {
            case Reaction::none:
                break;
            case Reaction::close_badge:
                (void)closeView(runtime, kMainWindowId, kBadgeLabel);
                break;
            case Reaction::reopen_badge:
                (void)closeView(runtime, kMainWindowId, kBadgeLabel);
                (void)createView(runtime, badgeView());
                break;
            case Reaction::other_tree:
                (void)installTree(runtime, kOtherTree);
                break;
            case Reaction::gallery_again:
                (void)installTree(runtime, kGallery);
                break;
        }
        return {};
    }

    static constexpr std::string_view kWindowTitle = "Widget gallery";
    MemoryIo memory;
    FuzzPlatform platform;
    std::unique_ptr<Automation> automation = std::make_unique<Automation>();
    std::unique_ptr<Runtime, RuntimeRelease> runtime;
    std::vector<std::uint64_t> ids;
    RuntimeRewind built;
    AppBinding binding{};
    Reaction reaction = Reaction::none;
};

// Words the commands are made of. Mostly what a tool writes; a few that must be refused.
constexpr std::array<std::string_view, 4> kViews = {"canvas", "canvas", "canvas", "other"};
constexpr std::array<std::string_view, 8> kTargetVerbs = {"widget-click",         "widget-click",        "widget-hold",
                                                          "widget-context-press", "widget-click",        "widget-hold",
                                                          "widget-click",         "widget-context-press"};
constexpr std::array<std::string_view, 10> kActionWords = {"focus",     "press",    "toggle",        "increment",
                                                           "decrement", "set-text", "set-selection", "set-composition",
                                                           "select",    "drag"};
constexpr std::array<std::string_view, 6> kMoreActionWords = {
    "commit-composition", "cancel-composition", "drop-files", "dismiss", "SET_TEXT", "hover"};
constexpr std::array<std::string_view, 16> kTexts = {"",
                                                     "Hello lab",
                                                     "two\nlines",
                                                     "tab\there",
                                                     "crlf\r\nend",
                                                     "Zoë 中文 👍",
                                                     "0 5",
                                                     "5 0",
                                                     "3 3",
                                                     "0 99999",
                                                     "18446744073709551615 1",
                                                     "-1 2",
                                                     "16 0",
                                                     "-24 8",
                                                     "/tmp/a.vrs /tmp/b.txt",
                                                     "nan 1"};
constexpr std::array<std::string_view, 8> kFractions = {"0", "0.5", "1", "0.25", "-0.5", "2", "1e30", "0.9"};
constexpr std::array<std::string_view, 6> kWheelDeltas = {"-120", "40", "3", "-0.5", "1e6", "-1e6"};
constexpr std::array<std::string_view, 24> kKeys = {
    "tab",        "shift+tab", "enter", "space",  "escape",          "arrowdown", "arrowup",        "arrowleft",
    "arrowright", "home",      "end",   "pageup", "pagedown",        "cmd+a",     "cmd+c",          "cmd+v",
    "cmd+x",      "cmd+z",     "a",     "delete", "shift+arrowleft", "backspace", "ctrl+arrowleft", "cmd+shift+z"};
// A picture with glyphs in it costs ten times what a whole input does otherwise: most are a pixel
// or two wide (planned and encoded all the same), one in sixteen is real, and a few are refused.
constexpr std::array<std::string_view, 16> kScales = {"0.002", "0.002",  "0.002",  "0.0015", "0.001", "0.003",
                                                      "0.002", "0.0016", "0.0031", "0.002",  "0.004", "0.05",
                                                      "0",     "-1",     "nan",    "1e9"};

std::uint64_t pickId(const Rig& rig, kelvo::fuzz::FuzzInput& in) {
    const std::uint8_t byte = in.take<std::uint8_t>();
    if (byte == 0xFF) return 999;  // no such widget
    if (byte == 0xFE) return 0;    // no widget at all
    return rig.ids[byte % rig.ids.size()];
}

template <std::size_t N>
std::string_view pick(const std::array<std::string_view, N>& table, kelvo::fuzz::FuzzInput& in) {
    return table[in.take<std::uint8_t>() % N];
}

// A text from the table, or up to 64 bytes of the input itself.
std::string pickText(kelvo::fuzz::FuzzInput& in) {
    const std::uint8_t byte = in.take<std::uint8_t>();
    if (byte < 0xF0) return std::string(kTexts[byte % kTexts.size()]);
    const std::size_t length = std::min<std::size_t>(byte & 0x0F ? (byte & 0x0F) * 4 : 64, in.size);
    std::string text(reinterpret_cast<const char*>(in.data), length);
    in.data += length;
    in.size -= length;
    return text;
}

std::string commandText(const Rig& rig, kelvo::fuzz::FuzzInput& in) {
    const std::uint8_t kind = in.take<std::uint8_t>() % 7;
    std::string view(pick(kViews, in));
    const std::string id = std::to_string(pickId(rig, in));
    switch (kind) {
        case 0:
            return std::string(pick(kTargetVerbs, in)) + " " + view + " " + id;
        case 1:
            return "widget-context-menu " + view + " " + id + " " + std::to_string(in.take<std::uint8_t>() % 4);
        case 2: {
            std::string drag = "widget-drag " + view + " " + id;
            const int fractions = (in.take<std::uint8_t>() & 1u) ? 4 : 2;
            for (int i = 0; i < fractions; ++i) drag += " " + std::string(pick(kFractions, in));
            return drag;
        }
        case 3:
            return "widget-wheel " + view + " " + id + " " + std::string(pick(kWheelDeltas, in));
        case 4: {
            std::string key = "widget-key " + view + " " + std::string(pick(kKeys, in));
            if (in.take<std::uint8_t>() & 1u) key += " " + pickText(in);
            return key;
        }
        case 5: {
            const std::uint8_t which = in.take<std::uint8_t>();
            const std::string_view word = which < 0xE0 ? kActionWords[which % kActionWords.size()]
                                                       : kMoreActionWords[which % kMoreActionWords.size()];
            std::string action = "widget-action " + view + " " + id + " " + std::string(word);
            if (in.take<std::uint8_t>() & 1u) action += " " + pickText(in);
            return action;
        }
        default:
            if (in.take<std::uint8_t>() & 1u) {
                const int x = in.take<std::int16_t>() / 16;
                const int y = in.take<std::int16_t>() / 16;
                return "provenance " + view + " at " + std::to_string(x) + " " + std::to_string(y);
            }
            return "provenance " + view + " " + id;
    }
}

std::string screenshotText(kelvo::fuzz::FuzzInput& in) {
    // The whole view at one pixel a point (no scale given) is rare.
    std::string shot = "screenshot " + std::string(pick(kViews, in));
    if (const std::uint8_t scale = in.take<std::uint8_t>(); scale != 0xA5) {
        shot += " " + std::string(kScales[scale % kScales.size()]);
    }
    return shot;
}

// As the drain runs a command, without the file and without publishing the snapshot.
void runCommand(Rig& rig, std::string_view text) {
    runAutomationCommandText(*rig.runtime, rig.binding, rig.automation->server, text);
}

// A command file taken by the drain at a frame request, which then publishes the snapshot files.
void runCommandFile(Rig& rig, std::string text) {
    text += '\n';
    rig.memory.putFile(kCommandPath, text);
    (void)dispatchPlatformEvent(*rig.runtime, rig.binding, FrameRequestedEvent{});
    check(!rig.memory.exists(kCommandPath), "a complete command file was left");
}

void accessibilityAction(Rig& rig, kelvo::fuzz::FuzzInput& in) {
    WidgetAccessibilityActionEvent event;
    event.windowId = kMainWindowId;
    event.label = kCanvasLabel;
    event.action = in.take<std::uint8_t>() % (kMaxAccessibilityActionCode + 2);
    event.widgetId = pickId(rig, in);
    const std::string text = pickText(in);
    event.text = text;
    if (in.take<std::uint8_t>() & 1u) {
        // Braces read the two values in order.
        event.value = AccessibilityActionValue{in.take<std::uint16_t>() % 64u, in.take<std::uint16_t>() % 64u};
    }
    (void)dispatchPlatformEvent(*rig.runtime, rig.binding, PlatformEvent(event));
}

void frame(Rig& rig, std::uint64_t index) {
    const RuntimeView& view = rig.runtime->views[rig.canvasIndex()];
    GpuSurfaceFrame frame;
    frame.windowId = kMainWindowId;
    frame.label = kCanvasLabel;
    frame.width = view.frame.width;
    frame.height = view.frame.height;
    frame.frameIndex = index;
    const std::int64_t now = rig.memory.wallClockNs();
    frame.timestampNs = static_cast<std::uint64_t>(now);
    frame.frameIntervalNs = 16'666'667;
    (void)dispatchPlatformEvent(*rig.runtime, rig.binding, PlatformEvent(frame));
}

bool rangeInside(const std::optional<WidgetTextRange>& range, std::string_view text) {
    return !range || (range->start <= text.size() && range->end <= text.size());
}

void checkState(const Rig& rig) {
    const Runtime& runtime = *rig.runtime;
    check(runtime.canvasBatch.depth == 0 && runtime.canvasBatch.accessibilityDeferral == 0,
          "a refresh batch was left open");
    check(!runtime.bridgeRouter.busy, "the bridge router was left busy");
    const CanvasSlot* slot = canvasSlotOf(runtime.canvasSlots, runtime.views[rig.canvasIndex()]);
    check(slot != nullptr, "the view lost its canvas");
    for (const WidgetLayoutNode& node : slot->tree.tree()) {
        if (!isTextEntryKind(node.widgetKind())) continue;
        check(isValidUtf8(node.text), "a text entry holds invalid UTF-8");
        check(rangeInside(node.selection, node.text), "a selection lies past its text");
        check(rangeInside(node.composition, node.text), "a composition lies past its text");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Rig& rig = *new Rig;
    rewindRuntime(*rig.runtime, rig.built);
    rig.platform.clipboard.clear();
    rig.platform.faults = 0;
    rig.reaction = Reaction::none;
    kelvo::fuzz::FuzzInput in{data, size};
    std::uint64_t frames = 0;
    bool screenshotTaken = false;
    for (std::size_t step = 0; step < kMaxSteps && in.size > 0; ++step) {
        const std::uint8_t op = in.take<std::uint8_t>() % 16;
        if (op <= 6) {
            runCommand(rig, commandText(rig, in));
        } else if (op <= 10) {
            accessibilityAction(rig, in);
        } else if (op == 11) {
            frame(rig, ++frames);
        } else if (op == 12) {
            runCommandFile(rig, commandText(rig, in));
        } else if (op == 13) {
            // At most one picture an input.
            const std::string shot = screenshotText(in);
            if (!screenshotTaken) runCommand(rig, shot);
            screenshotTaken = true;
        } else if (op == 14) {
            rig.reaction = static_cast<Reaction>(1 + in.take<std::uint8_t>() % (kReactionCount - 1));
        } else {
            rig.platform.faults = in.take<std::uint8_t>();
        }
    }
    checkState(rig);
    return 0;
}

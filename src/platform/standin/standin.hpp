#pragma once

// What the host asks of the operating system, as one record of function pointers. The host
// (src/platform/macos) is written against this record only; a backend fills it: `headless`
// (in memory, virtual clock, for tests) or `gtk` (GTK 3, for the program). One backend serves a
// process, installed before the host is created.
//
// Every service is a group of functions that take the backend's own state (`StandIn::self`)
// first. Each backend keeps one file per service with the same name on both sides
// (headless/windows.cpp and gtk/windows.cpp), so a reader who knows one finds its twin.
// Services still to come sit beside these as further groups: clipboard, dialogs, keyring, menus,
// status item.
//
// Threads: everything runs on the main thread, except `loop.post` and `loop.wallClockNs`, which
// any thread may call. Nothing here calls into the host while the host is calling it: backends
// hand what the user or the system did to the host through tasks on the main queue.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kelvo::standin {

// Work for the main loop.
using Task = std::function<void()>;

// A timer of the main loop; 0 names none.
using TimerId = std::uint64_t;

// The names the application gives itself (process name, name shown by the desktop).
struct AppIdentity {
    std::string_view name{};
    std::string_view displayName{};
};

struct LoopService {
    // Prepares the toolkit for this process; false when it cannot run here (no display).
    bool (*open)(void* self, const AppIdentity& identity) = nullptr;
    // Runs the main loop on the calling thread until `quit`; tasks and timers run inside it.
    void (*run)(void* self) = nullptr;
    // Makes a running `run` return once the current task is done. A modal dialog open then
    // ends with it, answered as cancelled, and one asked for afterwards is answered so at once.
    void (*quit)(void* self) = nullptr;
    // Queues a task; tasks run one at a time, in the order they were posted. Any thread.
    void (*post)(void* self, Task task) = nullptr;
    // Runs `task` after intervalNs, and again every intervalNs while it repeats. A one-shot
    // timer is gone once it fired.
    TimerId (*startTimer)(void* self, std::uint64_t intervalNs, bool repeats, Task task) = nullptr;
    // Stops a timer; nothing for 0, an unknown id or a one-shot timer that already fired. A
    // timer may cancel itself from its own task.
    void (*cancelTimer)(void* self, TimerId timer) = nullptr;
    // Wall-clock nanoseconds since 1970. Any thread.
    std::uint64_t (*wallClockNs)(void* self) = nullptr;
    // Nanoseconds of a clock that never steps back, for delays and pacing. Any thread.
    std::uint64_t (*monotonicNs)(void* self) = nullptr;
    // Runs `onTerminate` on the main loop whenever the process receives SIGTERM, instead of
    // the signal's default action, until `unwatchTerminate`.
    void (*watchTerminate)(void* self, Task onTerminate) = nullptr;
    void (*unwatchTerminate)(void* self) = nullptr;
    // Once the process is done with its windows, at the end of a run: the clipboard's text is
    // given up, every program that asked for it and was not answered yet is refused, and what this
    // process still sends to other programs (the clipboard's text) and other programs to it (a
    // clipboard transfer that a read gave up) is taken to its end, the loop running meanwhile, for
    // at most kTransfersEndWaitNs; past that it is broken off.
    void (*finish)(void* self) = nullptr;
};

// How long the end of a run waits for what other programs still send to this process: many times
// what a long clipboard text takes (60 MB come in a tenth of a second), short enough that a
// program that stops sending holds the end back no longer than a moment.
inline constexpr std::uint64_t kTransfersEndWaitNs = 2'000'000'000;

// A window of the backend; valid from `create` until `destroy`.
struct BackendWindow;
using WindowRef = BackendWindow*;

// Screen points, top-left origin.
struct RectD {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    friend bool operator==(const RectD&, const RectD&) = default;
};

// Bits of a window's style.
inline constexpr std::uint32_t kStyleTitled = 1u << 0;
inline constexpr std::uint32_t kStyleClosable = 1u << 1;
inline constexpr std::uint32_t kStyleMiniaturizable = 1u << 2;
inline constexpr std::uint32_t kStyleResizable = 1u << 3;
inline constexpr std::uint32_t kStyleFullSizeContent = 1u << 15;

// What the user or the window system did to a window.
enum class WindowEventKind : std::uint8_t {
    resized,
    moved,
    became_key,
    resigned_key,
    close_requested,  // the close button or the window manager asked; the window stays until destroyed
    files_dropped,    // `paths`: NUL between paths, none after the last
    will_enter_full_screen,
    did_enter_full_screen,
    will_exit_full_screen,
    did_exit_full_screen,
    content_layout_changed,  // the area the title bar leaves to the content changed
    occlusion_changed,       // the window came into sight or went out of it (see `onScreen`)
};

struct WindowEvent {
    WindowEventKind kind = WindowEventKind::resized;
    std::string_view paths{};  // borrowed for the call
};

// Where a window reports its events. Called from a main-loop task, never while the host is
// calling the backend, and never after the window was destroyed.
struct WindowEventSink {
    void (*deliver)(void* context, WindowRef window, const WindowEvent& event) = nullptr;
    void* context = nullptr;
};

struct WindowDescription {
    std::string_view title{};
    RectD content{};  // the content area on the screen; only the size counts when `centre` is set
    std::uint32_t style = kStyleTitled | kStyleClosable | kStyleMiniaturizable | kStyleResizable;
    bool transparentTitlebar = false;  // the title bar is drawn over the content, its title hidden
    bool tallToolbar = false;          // a tall, empty toolbar joins the title bar
    bool centre = false;               // placed at the centre of the screen
    WindowEventSink events{};
    // The application's menu bar across the top of the window, above the content: the content
    // area (the window's frame) is what lies below it.
    bool menuBar = false;
};

// Where a window is now. A window's frame is its content area: the rectangle that a later
// `create` with the same `content` restores.
struct WindowGeometry {
    RectD content{};
    double scale = 1.0;     // device pixels per point
    bool key = false;       // the window takes keyboard input
    bool visible = false;   // shown (also while minimised)
    bool onScreen = false;  // at least partly seen: shown, not minimised, not wholly covered
};

// The title bar's cover of the content: the content's bounds, the part not under the title bar
// (both in content coordinates), the close, minimise and zoom buttons where they are shown, and
// the button that opens the application's menu in a title bar that has one.
struct ChromeLayout {
    RectD bounds{};
    RectD layout{};
    std::array<std::optional<RectD>, 3> buttons{};
    std::optional<RectD> menuButton{};
};

// The pointer event being handled right now, if it is a left button press or drag.
enum class PointerPhase : std::uint8_t { none, left_down, left_dragged };
// `press` tells one press from another (the display server's time of it; 0 when unknown).
struct PointerEvent {
    PointerPhase phase = PointerPhase::none;
    int clickCount = 0;
    std::uint32_t press = 0;
};

// What the user chose to happen on a double click in a title bar.
enum class TitlebarDoubleClick : std::uint8_t { zoom, minimize, none };

// Straight-alpha RGBA8 rows of width * 4 bytes, top row first; borrowed for the call.
struct RgbaImage {
    const std::uint8_t* pixels = nullptr;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

struct WindowService {
    // A new window, hidden; null when the backend cannot make one.
    WindowRef (*create)(void* self, const WindowDescription& description) = nullptr;
    // Hides the window and frees it; no event of it arrives afterwards.
    void (*destroy)(void* self, WindowRef window) = nullptr;
    // Shows the window in front of the others and makes it take keyboard input.
    void (*orderFront)(void* self, WindowRef window) = nullptr;
    // Brings the application to the front.
    void (*activateApp)(void* self) = nullptr;
    void (*miniaturize)(void* self, WindowRef window) = nullptr;
    // Maximises the window, or gives it back its size when it is maximised.
    void (*zoom)(void* self, WindowRef window) = nullptr;
    void (*setTitle)(void* self, WindowRef window, std::string_view title) = nullptr;
    // The smallest content size the user may give the window.
    void (*setContentMinSize)(void* self, WindowRef window, double width, double height) = nullptr;
    // The colour behind the content: R, G, B, A bytes, red in the top byte.
    void (*setBackground)(void* self, WindowRef window, std::uint32_t rgba) = nullptr;
    void (*setToolbarVisible)(void* self, WindowRef window, bool visible) = nullptr;
    WindowGeometry (*geometry)(void* self, WindowRef window) = nullptr;
    ChromeLayout (*chrome)(void* self, WindowRef window) = nullptr;
    // The part of the main screen windows may use; none without a screen.
    std::optional<RectD> (*screenVisibleFrame)(void* self) = nullptr;
    PointerEvent (*currentPointerEvent)(void* self) = nullptr;
    // Whether the pointer's left button is down now, as the pointer itself says (not as the last
    // event seen said: a button whose release went to the window manager still reads as down there).
    bool (*leftButtonDown)(void* self) = nullptr;
    TitlebarDoubleClick (*titlebarDoubleClick)(void* self) = nullptr;
    // Lets the user move the window with the pointer event being handled. The move owns the
    // press from then on: its release goes to the window manager, and it is no longer the
    // pointer event being handled.
    void (*beginMoveDrag)(void* self, WindowRef window) = nullptr;
    // The icon every window shows (the application's icon).
    void (*setAppIcon)(void* self, const RgbaImage& image) = nullptr;
    // The same from an image file; false when the file cannot be read as an image.
    bool (*setAppIconFromFile)(void* self, std::string_view path) = nullptr;
};

// Dark mode and the accessibility display settings.
struct Appearance {
    bool dark = false;
    bool reduceMotion = false;
    bool increaseContrast = false;
    friend bool operator==(const Appearance&, const Appearance&) = default;
};

struct WorkspaceService {
    Appearance (*appearance)(void* self) = nullptr;
    // Runs `onChange` on the main loop after the appearance changed, until unwatched.
    void (*watchAppearance)(void* self, Task onChange) = nullptr;
    void (*unwatchAppearance)(void* self) = nullptr;
    // Opens `url` with the desktop's default handler for it; false when none takes it.
    bool (*openUrl)(void* self, std::string_view url) = nullptr;
    // Shows the file or folder selected in the file manager (its folder opened when the file
    // manager cannot select it); false when nothing could be asked.
    bool (*revealPath)(void* self, std::string_view path) = nullptr;
    // Hands a notification to the desktop; delivery is not waited for. False when the desktop has
    // no notification service to hand it to.
    bool (*notify)(void* self, std::string_view title, std::string_view subtitle, std::string_view body) = nullptr;
    // The desktop's list of recently used documents: this application's entries only.
    bool (*addRecentDocument)(void* self, std::string_view path) = nullptr;
    void (*clearRecentDocuments)(void* self) = nullptr;
};

// The clipboard holds one item per type; a write replaces every item.
enum class ClipboardType : std::uint8_t { plain_text, html, rtf };

// How long a read waits for the program that holds the clipboard to begin answering, and, while
// a long text comes in pieces, for each next piece.
inline constexpr std::uint64_t kClipboardAnswerWaitNs = 5'000'000'000;
// How long a read may take as a whole, however steadily the holder sends.
inline constexpr std::uint64_t kClipboardReadBoundNs = 10'000'000'000;
// How long a program that reads the clipboard while it holds a claimed text still on its way waits
// for that text, at most; it gets none after that.
inline constexpr std::uint64_t kClipboardClaimWaitNs = 10'000'000'000;
// How long a claimed text may take to come, at most; the claim is given up after that. The largest
// copy (48 MiB) came from the page within 10 s of its claim in the sanitizer build at a load of 4
// to 5 (6 s in the normal build), and a copy took two to three times as long at a load of 10: the
// bound leaves room for a machine busier still, since a copy cut short never lands, while a claim
// that outlives its page only keeps the clipboard empty (each reader is refused after
// kClipboardClaimWaitNs meanwhile).
inline constexpr std::uint64_t kClipboardClaimBoundNs = 60'000'000'000;

// How a read of the clipboard's text ended.
enum class ClipboardReadEnd : std::uint8_t {
    text,       // `bytes` holds the text; empty when the clipboard holds none
    too_large,  // the text is longer than the read's limit, refused as soon as its size was known
    no_answer,  // the clipboard's holder did not answer within kClipboardAnswerWaitNs
    failed,     // the holder refused or broke off the transfer, or the display could not be reached
    too_slow,   // the read had not ended within kClipboardReadBoundNs
};

struct ClipboardRead {
    ClipboardReadEnd end = ClipboardReadEnd::text;
    std::string bytes;
};

using ClipboardReadDone = std::function<void(ClipboardRead)>;

struct ClipboardService {
    // Empties the clipboard and puts `bytes` (UTF-8 for text and HTML) in it as its one item;
    // false when the system refused. Plain text goes whole, NULs included; an empty text leaves
    // the clipboard holding an empty text. Each write of plain text gets the next serial number of
    // this process (from 1).
    bool (*write)(void* self, ClipboardType type, std::string_view bytes) = nullptr;
    // The item of that type (text and HTML as UTF-8), empty when the clipboard holds none. The
    // main loop runs while it waits for another program to hand the data over; it waits no longer
    // than the holder takes to answer (kClipboardAnswerWaitNs), nor than kClipboardReadBoundNs in
    // all, and ends, answering empty, when the loop is told to end.
    std::string (*read)(void* self, ClipboardType type) = nullptr;
    // Starts reading the clipboard's plain text and returns at once: `done` runs on the main loop
    // once the read ends, exactly once, with every byte as the holder offers it (NULs, and bytes
    // that are not UTF-8) or with why there is no text. A text longer than `limit` bytes is
    // refused as soon as its size is known. The holder is asked once which targets it offers, then
    // for the text targets it offers, the preferred first, until one is answered with text. A
    // read started while another is still going ends that one, whose `done` then never runs; so
    // does cancelTextRead. A read that ends early lets the holder finish what it began to send.
    void (*readTextLater)(void* self, std::uint64_t limit, ClipboardReadDone done) = nullptr;
    void (*cancelTextRead)(void* self) = nullptr;
    // The serial number of this process's plain-text write that the clipboard still holds; 0 when
    // anything replaced it since (another program, or another write of this process of any type).
    // Right after a plain-text write succeeds it answers that write's number.
    std::uint64_t (*heldTextWrite)(void* self) = nullptr;
    // A mark of the moment the user asked for a copy, which claimText takes the clipboard at,
    // later: the user's key or click made `ageMs` milliseconds ago, or where that is not known (0),
    // the latest one. Never a moment after the latest key or click.
    std::uint64_t (*markTakes)(void* self, std::uint64_t ageMs) = nullptr;
    // Takes the clipboard for a plain text that comes later (fillClaim), ordered among every
    // program's copies at the moment `mark` names (0: now), as the display server orders copies:
    // it answers 0, and the clipboard stays as it is, when another program (or another part of
    // this process) took the clipboard after that moment; otherwise the claim's serial number,
    // which heldTextWrite answers while the clipboard holds the claim. Until the text comes, a
    // program that reads the clipboard waits for it, for at most kClipboardClaimWaitNs, and is
    // refused at once where the claim ends without text. A claim ends, given up, where its text
    // has not come within kClipboardClaimBoundNs, and where the backend tells which page's request
    // took it, once that page goes (reloaded, navigated away, its web process or web view gone).
    std::uint64_t (*claimText)(void* self, std::uint64_t mark) = nullptr;
    // Hands the claim its text; false, and nothing written, when the clipboard no longer holds
    // the claim (anything took it since). A claim given up for its bound that no later claim
    // followed takes the clipboard again with its text, as of its mark, unless anything took the
    // clipboard since: a slow copy is never lost for being slow.
    bool (*fillClaim)(void* self, std::uint64_t serial, std::string_view bytes) = nullptr;
    // Gives a claim that will have no text up: the clipboard is emptied where it still holds it
    // (nothing where anything took the clipboard since, whether the loop saw it yet or not).
    void (*dropClaim)(void* self, std::uint64_t serial) = nullptr;
};

// The dialogs are modal: each runs the main loop (tasks, timers, window events) until the user
// closes it, then answers; a loop told to end (`quit`) closes it, answered as cancelled.
//
// `keysAhead` (empty: none) is a script that answers, in the page whose message asked for the
// dialog, the keys that page holds which were typed ahead of the dialog: an array of objects
// { key, code, ctrlKey, shiftKey, altKey, metaKey } as the page's key events name them. As the
// dialog shows, the keys typed at the window wait; the script's keys go to the dialog first, in
// order, and then the keys that waited.
struct OpenPanel {
    std::string_view title{};
    std::string_view keysAhead{};
    std::string_view folder{};                  // where it starts; empty: the backend's choice
    std::span<const std::string> extensions{};  // files shown, without the dot; empty: every file
    bool chooseDirectories = false;             // folders can be chosen
    bool multiple = false;
};

struct SavePanel {
    std::string_view title{};
    std::string_view keysAhead{};
    std::string_view folder{};
    std::string_view name{};  // the proposed file name
    std::span<const std::string> extensions{};
};

enum class AlertStyle : std::uint8_t { informational, warning, critical };

struct Alert {
    AlertStyle style = AlertStyle::informational;
    std::string_view keysAhead{};
    std::string_view windowTitle{};
    std::string_view message{};
    std::string_view informative{};
    std::span<const std::string_view> buttons{};  // at least one, first is the default
};

// A kind of file the application works with: the name a user reads and the extensions, without
// the dot.
struct DocumentType {
    std::string name;
    std::vector<std::string> extensions;
};

struct DialogService {
    // The chosen paths as the file system spells them, in the dialog's order; none when
    // cancelled. A panel that names no extensions offers the document types as its choices of
    // files shown, the first chosen; without document types it shows every file.
    std::vector<std::string> (*runOpen)(void* self, const OpenPanel& panel) = nullptr;
    std::optional<std::string> (*runSave)(void* self, const SavePanel& panel) = nullptr;
    // The index of the button pressed; -1 when the dialog was closed another way.
    int (*runAlert)(void* self, const Alert& alert) = nullptr;
    // The kinds of files the application works with, its own documents first (none at first).
    void (*setDocumentTypes)(void* self, std::vector<DocumentType> types) = nullptr;
};

// Stored secrets. An item belongs to one application: another application's item with the same
// service and account is never read, replaced or deleted.
struct KeyringService {
    // Replaces the secret of the item, or adds the item; false when nothing was stored.
    bool (*store)(void* self, std::string_view application, std::string_view service, std::string_view account,
                  std::string_view secret) = nullptr;
    // The item's secret; none when it is missing or the keyring failed.
    std::optional<std::string> (*lookup)(void* self, std::string_view application, std::string_view service,
                                         std::string_view account) = nullptr;
    // False when there was no such item or the keyring failed.
    bool (*remove)(void* self, std::string_view application, std::string_view service,
                   std::string_view account) = nullptr;
};

// Modifier keys as the host names them; a backend maps its keyboard's keys onto these.
inline constexpr std::uint32_t kKeyCommand = 1u << 0;
inline constexpr std::uint32_t kKeyControl = 1u << 1;
inline constexpr std::uint32_t kKeyOption = 1u << 2;
inline constexpr std::uint32_t kKeyShift = 1u << 3;

// A key pressed in one of the host's windows.
struct KeyPress {
    WindowRef window = nullptr;
    // "tab", "enter", "escape", "space", "backspace", "delete", "arrowup", "arrowdown",
    // "arrowleft", "arrowright", "home" or "end"; empty for any other key.
    std::string_view namedKey{};
    // What the key types with Shift (and no other modifier) applied, as UTF-8: "+" for Shift
    // and "=", "A" for Shift and "a".
    std::string_view characters{};
    std::uint32_t modifiers = 0;
};

// Sees every key press of the host's windows before anything else does; true consumes it.
// Called synchronously from the backend's event handling: it must not run the runtime.
struct KeyMonitor {
    bool (*keyDown)(void* context, const KeyPress& press) = nullptr;
    // A press that keyDown passed on and a focused web view gave back: its page saw it, did not
    // cancel it, and the view did nothing with it. The page answers some time after the press;
    // true consumes it. Called as keyDown is.
    bool (*keyNotHandled)(void* context, const KeyPress& press) = nullptr;
    void* context = nullptr;
};

struct MenuEntry {
    std::string title;
    std::string key;  // key equivalent as the host matches it; empty: none
    std::uint32_t modifiers = 0;
    bool enabled = true;
    bool checked = false;
    bool separator = false;
    std::uint32_t tag = 0;  // what a click on the item reports; 0: nothing
};

struct Menu {
    std::string title;
    std::vector<MenuEntry> items;
};

struct MenuItem {
    std::string_view title{};
    std::uint32_t tag = 0;
    bool enabled = true;
    bool separator = false;
};

// Runs on the main loop once a menu closed, with the chosen item's tag, or 0 when dismissed.
using MenuChoice = std::function<void(std::uint32_t tag)>;

struct AboutPanel {
    std::string_view name{};
    std::string_view version{};
    std::string_view credits{};
};

// What the standard menus do to windows and the application beyond the host's own actions.
enum class WindowAction : std::uint8_t { hide_app, hide_others, unhide_all, toggle_full_screen, arrange_in_front };

// Views are declared with the web views below.
struct BackendView;
using ViewRef = BackendView*;

// Where clicks on the menu bar's items go: the window whose menu was clicked and the item's tag.
// From a main-loop task, never for a window already destroyed. A sink without `chosen` removes it.
struct MenuBarSink {
    void (*chosen)(void* context, WindowRef window, std::uint32_t tag) = nullptr;
    void* context = nullptr;
};

// The Edit menu's actions, for what holds the keyboard in a window.
enum class EditAction : std::uint8_t { undo, redo, cut, copy, paste, select_all };

struct MenuService {
    // The application's menu bar, shown by every window made with one (and the same menu
    // wherever a window offers it another way). The host matches the key equivalents itself (as
    // it matches shortcuts); the bar only shows them.
    void (*setMenuBar)(void* self, std::span<const Menu> menus) = nullptr;
    void (*watchKeys)(void* self, KeyMonitor monitor) = nullptr;
    void (*unwatchKeys)(void* self) = nullptr;
    // Pops a menu up at a point of the window's content (top-left origin) and returns; `done`
    // follows once it closed.
    void (*popUpMenu)(void* self, WindowRef window, double x, double y, std::span<const MenuItem> items,
                      MenuChoice done) = nullptr;
    // The application's About panel; its icon is the one the windows show.
    void (*showAbout)(void* self, const AboutPanel& panel) = nullptr;
    // `window` is the window that takes keyboard input, or null.
    void (*performWindowAction)(void* self, WindowRef window, WindowAction action) = nullptr;
    // Where clicks on the menu bar's items are reported.
    void (*watchMenuBar)(void* self, MenuBarSink sink) = nullptr;
    // The native or web view that holds the window's keyboard focus (the focused control lies in
    // it); null when none of them does.
    ViewRef (*focusedView)(void* self, WindowRef window) = nullptr;
    // Does an Edit menu action to the window's focused web view (the view's own editing command,
    // which its page hears of as an input event, if at all) or text field (the field's own);
    // nothing for anything else.
    void (*performEdit)(void* self, WindowRef window, EditAction action) = nullptr;
    // Types a key at the window as its user would (its press, then its release): it goes where a
    // key typed at that moment goes, after the keys already typed: held while the window's keys
    // are held, else to the monitor, then to what holds the window's keyboard. `press.window` is
    // the window; `namedKey` or `characters` names the key, as the monitor is given it.
    void (*typeKey)(void* self, const KeyPress& press) = nullptr;
    // While a window's keys are held (and keys are watched), every key press and release typed at
    // it is kept, in order, unseen by the monitor and the window. Letting go hands them on at once
    // in that order, each as a key typed then would go (to the monitor, then the focused view). A
    // window destroyed while it holds keys drops them.
    void (*holdKeys)(void* self, WindowRef window, bool hold) = nullptr;
};

// The one status-bar item of the application.
struct StatusItemService {
    // Makes the item (replacing any earlier one): as wide as its title, or square. False when the
    // desktop has nowhere to show it: no item is made then.
    bool (*create)(void* self, bool variableLength) = nullptr;
    void (*remove)(void* self) = nullptr;
    void (*setVariableLength)(void* self, bool variableLength) = nullptr;
    // An 18 x 18 point template image; false when the file does not hold an image.
    bool (*setImageFromFile)(void* self, std::string_view path) = nullptr;
    void (*setTitle)(void* self, std::string_view title) = nullptr;
    void (*setTooltip)(void* self, std::string_view tooltip) = nullptr;
    // The item's menu; `chosen` runs on the main loop with the tag of each item the user picks
    // (never with 0 for a dismissed menu).
    void (*setMenu)(void* self, std::span<const MenuItem> items, MenuChoice chosen) = nullptr;
};

// A view placed in a window's content, stacked with the window's other views. Web views are one
// kind; views of other kinds share the reference type so that one `restack` orders them all.
struct BackendView;
using ViewRef = BackendView*;

// A request of a page to go somewhere: to load `url` in its own web view, or in a new window
// (which is never opened).
enum class NavigationKind : std::uint8_t { navigate, new_window };
struct NavigationAction {
    std::string_view url{};
    NavigationKind kind = NavigationKind::navigate;
};

// A request of the web view's URL scheme, answered through the `scheme` service. Only declared:
// each backend keeps a record of its own behind the reference.
struct SchemeTask;
using SchemeTaskRef = SchemeTask*;

// Where a web view reports. Each is called from a main-loop task, never while the host is calling
// the backend, and never after the web view was destroyed; texts are borrowed for the call.
struct WebViewEvents {
    void* context = nullptr;
    // Whether the web view may go where the page asks. The backend never cancels a load the host
    // started itself (`loadUrl`, `loadHtml`) without asking this too.
    bool (*decideNavigation)(void* context, ViewRef view, const NavigationAction& action) = nullptr;
    // A new document is in the web view; `uri` is its address ("about:blank" for loaded HTML).
    void (*committed)(void* context, ViewRef view, std::string_view uri) = nullptr;
    // The document finished loading.
    void (*finished)(void* context, ViewRef view) = nullptr;
    // One request of the scheme named at creation. The host answers it before returning, with
    // `scheme.respond` or `scheme.fail`; an unanswered task fails.
    void (*schemeRequest)(void* context, ViewRef view, SchemeTaskRef task, std::string_view url) = nullptr;
    // Files dropped on the web view: NUL between paths, none after the last.
    void (*filesDropped)(void* context, ViewRef view, std::string_view paths) = nullptr;
};

struct WebViewDescription {
    WindowRef window = nullptr;
    RectD frame{};               // in the window's content, top-left origin
    bool followsWindow = false;  // fills the content and follows its size; `frame` is then unused
    bool transparent = false;    // draws no background of its own
    std::string_view scheme{};   // a URL scheme served through events.schemeRequest; empty for none
    WebViewEvents events{};
};

struct WebViewService {
    // A new, empty web view on top of the window's views; null when the backend cannot make one.
    ViewRef (*create)(void* self, const WebViewDescription& description) = nullptr;
    // Removes the web view; no event of it arrives afterwards. A window's web views are destroyed
    // before the window.
    void (*destroy)(void* self, ViewRef view) = nullptr;
    void (*setFrame)(void* self, ViewRef view, RectD frame, bool followsWindow) = nullptr;
    // Starts loading; the page's navigation is decided like any other.
    void (*loadUrl)(void* self, ViewRef view, std::string_view url) = nullptr;
    // Shows an HTML text that has no address of its own.
    void (*loadHtml)(void* self, ViewRef view, std::string_view html) = nullptr;
    // Loads the document shown again, as the page's own reload does (its before-unload handler may
    // ask the user first); a view showing an HTML text it was given shows that text again.
    void (*reload)(void* self, ViewRef view) = nullptr;
    void (*setZoom)(void* self, ViewRef view, double zoom) = nullptr;
    // Puts the given views of the window above all its others, in this order (the last on top).
    void (*restack)(void* self, WindowRef window, std::span<const ViewRef> bottomToTop) = nullptr;
    // Pointer input at a point inside one of these rectangles (in the view's own coordinates,
    // top-left origin) never reaches the page.
    void (*setCoveredRects)(void* self, ViewRef view, std::span<const RectD> rects) = nullptr;
    // Opens the web view's inspector (its page's developer tools) in a window of its own.
    void (*showInspector)(void* self, ViewRef view) = nullptr;
};

struct SchemeService {
    // Answers a scheme request with the whole body: the MIME type, the length, the bytes.
    void (*respond)(void* self, SchemeTaskRef task, std::string_view mimeType,
                    std::span<const std::uint8_t> bytes) = nullptr;
    // Fails a scheme request with an error code.
    void (*fail)(void* self, SchemeTaskRef task, std::int32_t code) = nullptr;
};

// A message a page posted to a named handler: the posted string, or the JSON text of a posted
// object ("{}" for anything else). Called like the web view's events.
struct ScriptMessageSink {
    void (*deliver)(void* context, ViewRef view, std::string_view body) = nullptr;
    void* context = nullptr;
};

struct ScriptMessageService {
    // Runs `source` at document start in the top frame of each later document of the web view.
    void (*addUserScript)(void* self, ViewRef view, std::string_view source) = nullptr;
    // Lets script in the page post to `window.webkit.messageHandlers.<name>`; any frame can.
    void (*addHandler)(void* self, ViewRef view, std::string_view name, ScriptMessageSink sink) = nullptr;
    void (*removeHandler)(void* self, ViewRef view, std::string_view name) = nullptr;
    // Runs `script` in the page's top frame; its result and errors are not observed.
    void (*evaluate)(void* self, ViewRef view, std::string_view script) = nullptr;
    // Runs `<callee>(<json>)` in the page's top frame, as `evaluate` would, with `json` (one strict
    // JSON value) handed over as data and parsed there, not compiled as script: the page's engine
    // keeps scripts it compiled, with the strings in them, long after they ran.
    void (*call)(void* self, ViewRef view, std::string_view callee, std::string_view json) = nullptr;
};

// Audio: one player for each source the host loads, a tap that hears what it plays, and the
// downloads that keep a stream for later.
struct BackendPlayer;
using PlayerRef = BackendPlayer*;

enum class PlayerEventKind : std::uint8_t {
    ready,            // the source can play; sent once, the first time
    failed,           // the source cannot be played, or playing it stopped on an error
    ended,            // the source played to its end; the player stands paused there
    waiting_changed,  // a stream's player may have begun or stopped waiting for data to play
                      // (`waiting`: asked to play and short of data); sent on play and pause too
    tracks_loaded,    // the answer to `loadTracks` (`tracksLoaded`, `audioTracks`)
};

struct PlayerEvent {
    PlayerEventKind kind = PlayerEventKind::ready;
    bool waiting = false;
    bool tracksLoaded = false;
    std::uint32_t audioTracks = 0;
};

// Where a player reports its events: from a main-loop task, never while the host is calling the
// backend, and never after the player was destroyed.
struct PlayerEventSink {
    void (*deliver)(void* context, PlayerRef player, const PlayerEvent& event) = nullptr;
    void* context = nullptr;
};

struct PlayerOptions {
    std::string_view location{};  // a file path, or the URL of a stream
    bool stream = false;          // a stream waits for enough data before it plays, and says so
    PlayerEventSink events{};
};

struct PlayerTimes {
    std::optional<double> positionMs;  // none while unknown
    std::optional<double> durationMs;
    bool playing = false;  // asked to play, and not at the end
};

// Samples a tap sees, 32-bit floats: one buffer of interleaved frames, or one buffer per channel.
// A buffer's data may be null (no samples for it).
struct TapBuffers {
    const float* const* data = nullptr;
    std::uint32_t count = 0;
    std::uint32_t frames = 0;
};

// A tap on a player's audio as it goes out, before the volume: what it hears does not depend on
// the volume. `prepare` and `process` run on the audio thread (prepare also on the main thread
// when the tap is attached to a player whose format is known); `finalize` runs once, when the
// backend lets go of the tap.
struct AudioTap {
    void* storage = nullptr;
    void (*prepare)(void* storage, double sampleRate, std::int32_t channels, bool interleaved) = nullptr;
    void (*process)(void* storage, const TapBuffers& buffers) = nullptr;
    void (*finalize)(void* storage) = nullptr;
};

// How a download ended. `file` is the downloaded file, which the backend deletes after the
// completion returns unless the completion moved it away.
struct DownloadResult {
    bool completed = false;  // false on an error or a cancel
    std::optional<int> httpStatus;
    std::string_view file{};
};
using DownloadId = std::uint64_t;
// Runs once, on any thread; it may touch files only.
using DownloadDone = std::function<void(const DownloadResult& result)>;

struct AudioService {
    // Whether the file holds audio this backend can play.
    bool (*canDecode)(void* self, std::string_view path) = nullptr;
    // A player for the source, paused at its start; null when the backend cannot make one.
    PlayerRef (*createPlayer)(void* self, const PlayerOptions& options) = nullptr;
    // Stops and frees the player; its tap is finalized and no event of it arrives afterwards.
    void (*destroyPlayer)(void* self, PlayerRef player) = nullptr;
    void (*play)(void* self, PlayerRef player) = nullptr;
    void (*pause)(void* self, PlayerRef player) = nullptr;
    // Moves to exactly `positionMs`; the position may read as unknown until the move is done.
    void (*seek)(void* self, PlayerRef player, std::uint64_t positionMs) = nullptr;
    void (*setVolume)(void* self, PlayerRef player, double volume) = nullptr;
    PlayerTimes (*times)(void* self, PlayerRef player) = nullptr;
    // Finds the source's tracks; answered by one tracks_loaded event.
    void (*loadTracks)(void* self, PlayerRef player) = nullptr;
    // Puts the tap on the player's first audio track; false when it cannot (the tap is then not
    // the backend's, and finalize never runs). One tap per player.
    bool (*attachTap)(void* self, PlayerRef player, const AudioTap& tap) = nullptr;
    DownloadId (*startDownload)(void* self, std::string_view url, DownloadDone done) = nullptr;
    // The download's completion then reports an error, unless it ran already.
    void (*cancelDownload)(void* self, DownloadId download) = nullptr;
};

// The application bundle the program runs from.
struct BundleService {
    // "<name>.app/Contents/Resources" when the program runs from "<name>.app" and the folder
    // exists; none otherwise.
    std::optional<std::string> (*resourceFolder)(void* self) = nullptr;
};

// Native views: containers and standard controls in a window's content or inside one another.
enum class NativeControl : std::uint8_t {
    container,        // a plain view with a background; holds other views
    push_button,      // a rounded push button with a title
    textured_button,  // a textured rounded button with a title
    list_button,      // a borderless button, its title at the left, no image
    checkbox,
    toggle_button,  // a push button that stays on or off
    segmented,
    text_field,    // editable and selectable, bezelled, drawing its background
    search_field,  // a search field
    label,         // one line of text, cut at the tail
    spinner,       // a spinning, indeterminate progress indicator, spinning
    canvas,        // a canvas view: shows what the canvas service hands it
};

enum class NativeBackground : std::uint8_t { clear, control, window };

enum class AccessibilityRole : std::uint8_t {
    toolbar,
    group,
    splitter,
    button,
    check_box,
    radio_group,
    text_field,
    static_text,
    progress_indicator,
};

struct NativeViewDescription {
    NativeControl control = NativeControl::container;
    NativeBackground background = NativeBackground::clear;
    AccessibilityRole role = AccessibilityRole::group;
    std::string_view identifier{};  // the view's label
    std::string_view title{};       // a button's or a label's text, a field's placeholder
};

// Which text of a control `setText` changes.
enum class NativeText : std::uint8_t { title, placeholder, value };

// Where a control reports that the user operated it (a click, a segment chosen, Return in a field):
// from a main-loop task, never after the view was destroyed.
struct NativeActionSink {
    void (*deliver)(void* context, ViewRef view) = nullptr;
    void* context = nullptr;
};

// A container's bounds, and whether its y axis points down from its top edge.
struct ContainerBox {
    double width = 0;
    double height = 0;
    bool flipped = false;
};

struct NativeViewService {
    // A hidden view on top of the parent's views (a null parent: the window's content); null when
    // the backend cannot make it there.
    ViewRef (*create)(void* self, WindowRef window, ViewRef parent, const NativeViewDescription& description) = nullptr;
    // Takes the view and every view inside it out of the window.
    void (*destroy)(void* self, ViewRef view) = nullptr;
    // The bounds frames inside `view` are given in (a null view: the window's content).
    ContainerBox (*container)(void* self, WindowRef window, ViewRef view) = nullptr;
    // In the parent's own coordinates (see `container`).
    void (*setFrame)(void* self, ViewRef view, RectD frame) = nullptr;
    void (*setHidden)(void* self, ViewRef view, bool hidden) = nullptr;
    // The view's place among its siblings: higher depths lie above.
    void (*setDepth)(void* self, ViewRef view, std::int64_t depth) = nullptr;
    void (*setEnabled)(void* self, ViewRef view, bool enabled) = nullptr;
    void (*setText)(void* self, ViewRef view, NativeText which, std::string_view text) = nullptr;
    // A segmented control's segments; the selected one stays while it exists, else the first is.
    void (*setSegments)(void* self, ViewRef view, std::span<const std::string> labels) = nullptr;
    void (*setAccessibilityLabel)(void* self, ViewRef view, std::string_view label) = nullptr;
    // A sink without `deliver` removes the action.
    void (*setAction)(void* self, ViewRef view, NativeActionSink sink) = nullptr;
    // Gives the view (a native or a web view) the keyboard; with `front`, the window is brought
    // to the front and takes the keyboard first. False when the view does not take it.
    bool (*focus)(void* self, ViewRef view, WindowRef front) = nullptr;
    // Adopted surfaces: views made by the embedding code (the backend's own widget type), which
    // keeps its own hold on them. Whether `surface` is such a view and `view` can hold one.
    bool (*canAdopt)(void* self, ViewRef view, void* surface) = nullptr;
    // Puts the surface over the whole view, above its views, following its size, and gives it
    // the keyboard.
    void (*adopt)(void* self, ViewRef view, void* surface) = nullptr;
    // Takes the surface out of the view it was put in; the surface itself stays.
    void (*detach)(void* self, void* surface) = nullptr;
    // From now on a left-button press on a part of an adopted surface gives that part the
    // keyboard, unless it has it; the press goes on as usual.
    void (*focusAdoptedOnClick)(void* self) = nullptr;
    // Whether the window's keyboard focus lies in an adopted surface.
    bool (*focusInAdopted)(void* self, WindowRef window) = nullptr;
};

// What the user does in a canvas view. Points are in the view, y down; modifiers are kKey bits.
enum class CanvasInputType : std::uint8_t {
    pointerDown,
    pointerUp,
    pointerMove,
    pointerDrag,  // moved with a button held
    pointerExit,
    wheel,
    keyDown,
    keyUp,
    preeditChanged,  // the input method's text under composition; empty: none any more
    commit,          // the input method's finished text
};

enum class WheelPhase : std::uint8_t { none, began, changed, ended, momentum };

struct CanvasInputEvent {
    CanvasInputType type = CanvasInputType::pointerMove;
    double x = 0;
    double y = 0;
    std::int32_t button = 0;  // 0 primary, 1 secondary, 2 middle, 3 and up the others
    // Wheel: precise deltas in points; positive x moves the content right, positive y down.
    double deltaX = 0;
    double deltaY = 0;
    WheelPhase phase = WheelPhase::none;
    // Keys: the X keysym of the key without modifiers and the character that types (0: none).
    std::uint32_t keyval = 0;
    std::uint32_t character = 0;
    bool inputMethodTook = false;  // key down: the input method took it; its text follows
    std::string text;              // preedit or committed text, UTF-8
    std::uint64_t cursor = 0;      // preedit: the caret, in characters
    std::uint32_t modifiers = 0;
};

// Where a canvas view reports input: from main-loop tasks, in order, never after the view was
// destroyed. A sink without `deliver` removes it.
struct CanvasInputSink {
    void (*deliver)(void* context, ViewRef view, const CanvasInputEvent& event) = nullptr;
    void* context = nullptr;
};

enum class CanvasCursor : std::uint8_t { arrow, pointingHand, text, resizeHorizontal };

// What a native view of the canvas kind shows: a picture the host drew, pixel for pixel.
struct CanvasService {
    // Shows `image` (device pixels, its top-left at the view's top-left corner) until the next
    // one; the view keeps its own copy.
    void (*show)(void* self, ViewRef view, const RgbaImage& image) = nullptr;
    // Frames per second of the screen that shows the window (the main screen for none); 0 when
    // the screen does not say.
    double (*refreshRate)(void* self, WindowRef window) = nullptr;
    // Device pixels per point of the main screen; 0 without a screen.
    double (*screenScale)(void* self) = nullptr;
    // The view takes the keyboard when clicked and reports what the user does to `sink`.
    void (*setInputSink)(void* self, ViewRef view, CanvasInputSink sink) = nullptr;
    // The pointer's shape over the whole view.
    void (*setCursor)(void* self, ViewRef view, CanvasCursor cursor) = nullptr;
    // Where the input method shows its candidates: the caret, in the view's points, y down.
    void (*setCaretRect)(void* self, ViewRef view, RectD caret) = nullptr;
};

// The widgets a canvas view draws, as assistive technology sees them: one element per widget,
// children of the view, with the system role each plays.
enum class ElementRole : std::uint8_t {
    group,
    static_text,
    image,
    button,
    text_field,
    menu,
    menu_item,
    list,
    row,
    table,
    cell,
    check_box,
    slider,
    progress_indicator,
    radio_button,
};

// A value between bounds (a slider's position, a scroll offset).
struct ElementRange {
    double minimum = 0;
    double maximum = 0;
    double value = 0;
};

// Texts are borrowed for the call. Text offsets and lengths count UTF-16 units.
struct AccessibleElement {
    std::uint64_t widgetId = 0;
    ElementRole role = ElementRole::group;
    std::string_view identifier{};
    std::string_view label{};
    std::string_view value{};
    std::string_view placeholder{};
    std::string_view valueDescription{};
    std::string_view selectedText{};
    // The text the widget holds or edits, whole (`value` may show a number instead).
    std::string_view text{};
    RectD frame{};  // in the view, y down from its top edge, points
    std::optional<ElementRange> range{};
    std::optional<double> numericValue{};
    std::optional<std::uint64_t> characterCount{};
    std::optional<std::uint64_t> selectionStart{};  // with selectionLength
    std::uint64_t selectionLength = 0;
    std::optional<std::uint64_t> caretOffset{};    // where the selection ends, also in an empty text
    std::optional<std::uint32_t> positionInSet{};  // its place in a list, from 0
    std::optional<std::uint32_t> setSize{};
    std::optional<std::uint64_t> rowCount{};
    std::optional<std::uint64_t> columnCount{};
    std::optional<std::uint64_t> rowIndex{};
    std::optional<std::uint64_t> columnIndex{};
    std::optional<std::uint64_t> index{};  // its place among its siblings
    bool enabled = true;
    bool focused = false;
    bool selected = false;
    std::optional<bool> expanded{};
    bool required = false;
    // What assistive technology may do with it.
    bool canPress = false;
    bool canIncrement = false;
    bool canDecrement = false;
    bool canCancel = false;
    bool canFocus = false;
    bool valueSettable = false;
    bool selectionSettable = false;
};

enum class ElementActionKind : std::uint8_t { focus, press, increment, decrement, cancel, set_value, set_selection };

// What assistive technology did to an element; `text` for set_value, the range for set_selection.
struct ElementAction {
    ElementActionKind kind = ElementActionKind::press;
    std::string_view text{};
    std::uint64_t location = 0;
    std::uint64_t length = 0;
};

// Where a canvas view's element actions arrive: from a main-loop task, never after the view was
// destroyed; the text is borrowed for the call.
struct ElementActionSink {
    void (*deliver)(void* context, ViewRef view, std::uint64_t widgetId, const ElementAction& action) = nullptr;
    void* context = nullptr;
};

struct AccessibilityService {
    // Replaces the accessible children of a canvas view with `elements`, in order, and tells
    // assistive technology that they changed.
    void (*setElements)(void* self, ViewRef view, std::span<const AccessibleElement> elements,
                        ElementActionSink sink) = nullptr;
};

// The functions of each service by name, so that a backend fills a service from functions of the
// same names in one line, and a service that grows a function is not left half filled:
//   LoopService loop;
//   KELVO_STANDIN_FILL(loop, KELVO_STANDIN_LOOP_FUNCTIONS)
// clang-format off
#define KELVO_STANDIN_LOOP_FUNCTIONS(X) \
    X(open) X(run) X(quit) X(post) X(startTimer) X(cancelTimer) X(wallClockNs) X(monotonicNs) X(watchTerminate) X(unwatchTerminate) X(finish)
#define KELVO_STANDIN_WINDOW_FUNCTIONS(X) \
    X(create) X(destroy) X(orderFront) X(activateApp) X(miniaturize) X(zoom) X(setTitle) X(setContentMinSize) \
    X(setBackground) X(setToolbarVisible) X(geometry) X(chrome) X(screenVisibleFrame) X(currentPointerEvent) \
    X(leftButtonDown) X(titlebarDoubleClick) X(beginMoveDrag) X(setAppIcon) X(setAppIconFromFile)
#define KELVO_STANDIN_WORKSPACE_FUNCTIONS(X) X(appearance) X(watchAppearance) X(unwatchAppearance) \
    X(openUrl) X(revealPath) X(notify) X(addRecentDocument) X(clearRecentDocuments)
#define KELVO_STANDIN_AUDIO_FUNCTIONS(X) \
    X(canDecode) X(createPlayer) X(destroyPlayer) X(play) X(pause) X(seek) X(setVolume) X(times) X(loadTracks) \
    X(attachTap) X(startDownload) X(cancelDownload)
#define KELVO_STANDIN_BUNDLE_FUNCTIONS(X) X(resourceFolder)
#define KELVO_STANDIN_NATIVE_VIEW_FUNCTIONS(X) \
    X(create) X(destroy) X(container) X(setFrame) X(setHidden) X(setDepth) X(setEnabled) X(setText) X(setSegments) \
    X(setAccessibilityLabel) X(setAction) X(focus) X(canAdopt) X(adopt) X(detach) X(focusAdoptedOnClick) \
    X(focusInAdopted)
#define KELVO_STANDIN_CANVAS_FUNCTIONS(X) \
    X(show) X(refreshRate) X(screenScale) X(setInputSink) X(setCursor) X(setCaretRect)
#define KELVO_STANDIN_CLIPBOARD_FUNCTIONS(X) X(write) X(read) X(readTextLater) X(cancelTextRead) X(heldTextWrite) \
    X(markTakes) X(claimText) X(fillClaim) X(dropClaim)
#define KELVO_STANDIN_DIALOG_FUNCTIONS(X) X(runOpen) X(runSave) X(runAlert) X(setDocumentTypes)
#define KELVO_STANDIN_KEYRING_FUNCTIONS(X) X(store) X(lookup) X(remove)
#define KELVO_STANDIN_MENU_FUNCTIONS(X) \
    X(setMenuBar) X(watchKeys) X(unwatchKeys) X(popUpMenu) X(showAbout) X(performWindowAction) X(watchMenuBar) \
    X(focusedView) X(performEdit) X(holdKeys) X(typeKey)
#define KELVO_STANDIN_STATUS_ITEM_FUNCTIONS(X) \
    X(create) X(remove) X(setVariableLength) X(setImageFromFile) X(setTitle) X(setTooltip) X(setMenu)
#define KELVO_STANDIN_WEBVIEW_FUNCTIONS(X) \
    X(create) X(destroy) X(setFrame) X(loadUrl) X(loadHtml) X(reload) X(setZoom) X(restack) X(setCoveredRects) X(showInspector)
#define KELVO_STANDIN_SCHEME_FUNCTIONS(X) X(respond) X(fail)
#define KELVO_STANDIN_SCRIPT_MESSAGE_FUNCTIONS(X) X(addUserScript) X(addHandler) X(removeHandler) X(evaluate) X(call)
#define KELVO_STANDIN_ACCESSIBILITY_FUNCTIONS(X) X(setElements)
// clang-format on

#define KELVO_STANDIN_COUNT_ONE(name) +1
#define KELVO_STANDIN_FILL_ONE(name) kelvo_standin_service_.name = name;
#define KELVO_STANDIN_FILL(service, functions)  \
    {                                           \
        auto& kelvo_standin_service_ = service; \
        functions(KELVO_STANDIN_FILL_ONE)       \
    }

static_assert(sizeof(LoopService) == (0 KELVO_STANDIN_LOOP_FUNCTIONS(KELVO_STANDIN_COUNT_ONE)) * sizeof(void (*)()));
static_assert(sizeof(WindowService) ==
              (0 KELVO_STANDIN_WINDOW_FUNCTIONS(KELVO_STANDIN_COUNT_ONE)) * sizeof(void (*)()));
static_assert(sizeof(WorkspaceService) ==
              (0 KELVO_STANDIN_WORKSPACE_FUNCTIONS(KELVO_STANDIN_COUNT_ONE)) * sizeof(void (*)()));
static_assert(sizeof(AudioService) == (0 KELVO_STANDIN_AUDIO_FUNCTIONS(KELVO_STANDIN_COUNT_ONE)) * sizeof(void (*)()));
static_assert(sizeof(BundleService) ==
              (0 KELVO_STANDIN_BUNDLE_FUNCTIONS(KELVO_STANDIN_COUNT_ONE)) * sizeof(void (*)()));
static_assert(sizeof(CanvasService) ==
              (0 KELVO_STANDIN_CANVAS_FUNCTIONS(KELVO_STANDIN_COUNT_ONE)) * sizeof(void (*)()));
static_assert(sizeof(ClipboardService) ==
              (0 KELVO_STANDIN_CLIPBOARD_FUNCTIONS(KELVO_STANDIN_COUNT_ONE)) * sizeof(void (*)()));
static_assert(sizeof(DialogService) ==
              (0 KELVO_STANDIN_DIALOG_FUNCTIONS(KELVO_STANDIN_COUNT_ONE)) * sizeof(void (*)()));
static_assert(sizeof(KeyringService) ==
              (0 KELVO_STANDIN_KEYRING_FUNCTIONS(KELVO_STANDIN_COUNT_ONE)) * sizeof(void (*)()));
static_assert(sizeof(MenuService) == (0 KELVO_STANDIN_MENU_FUNCTIONS(KELVO_STANDIN_COUNT_ONE)) * sizeof(void (*)()));
static_assert(sizeof(StatusItemService) ==
              (0 KELVO_STANDIN_STATUS_ITEM_FUNCTIONS(KELVO_STANDIN_COUNT_ONE)) * sizeof(void (*)()));
static_assert(sizeof(WebViewService) ==
              (0 KELVO_STANDIN_WEBVIEW_FUNCTIONS(KELVO_STANDIN_COUNT_ONE)) * sizeof(void (*)()));
static_assert(sizeof(SchemeService) ==
              (0 KELVO_STANDIN_SCHEME_FUNCTIONS(KELVO_STANDIN_COUNT_ONE)) * sizeof(void (*)()));
static_assert(sizeof(ScriptMessageService) ==
              (0 KELVO_STANDIN_SCRIPT_MESSAGE_FUNCTIONS(KELVO_STANDIN_COUNT_ONE)) * sizeof(void (*)()));
static_assert(sizeof(AccessibilityService) ==
              (0 KELVO_STANDIN_ACCESSIBILITY_FUNCTIONS(KELVO_STANDIN_COUNT_ONE)) * sizeof(void (*)()));

struct StandIn {
    void* self = nullptr;
    LoopService loop{};
    WindowService windows{};
    WorkspaceService workspace{};
    AudioService audio{};
    BundleService bundle{};
    NativeViewService nativeViews{};
    CanvasService canvas{};
    ClipboardService clipboard{};
    DialogService dialogs{};
    KeyringService keyring{};
    MenuService menus{};
    StatusItemService statusItem{};
    WebViewService webviews{};
    SchemeService scheme{};
    ScriptMessageService scriptMessages{};
    AccessibilityService accessibility{};
};

// The backend of this process; null until installed. The host takes it when it is created.
StandIn* installedStandIn();
void installStandIn(StandIn* standIn);

}  // namespace kelvo::standin

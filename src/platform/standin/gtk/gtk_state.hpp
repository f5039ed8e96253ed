#pragma once

// Private to the GTK backend: its state and the service groups each file fills.

#include <gst/gst.h>
#include <gtk/gtk.h>
#include <libsoup/soup.h>
#include <signal.h>

#include <atomic>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/standin/gtk/gobject_ptr.hpp"
#include "platform/standin/gtk/selection_connection.hpp"
#include "platform/standin/gtk/status_item.hpp"
#include "platform/standin/standin.hpp"

namespace kelvo::standin {

struct GtkState;

// One window. Signal handlers get the record as user data; it outlives every connection because
// `destroy` disconnects them before it goes.
struct GdkEventFree {
    void operator()(GdkEvent* event) const { gdk_event_free(event); }
};
using GdkEventPtr = std::unique_ptr<GdkEvent, GdkEventFree>;

struct GtkWindowRecord {
    GtkState* state = nullptr;
    std::uint64_t number = 0;
    GtkWidget* window = nullptr;         // a toplevel: GTK holds it until gtk_widget_destroy
    GtkWidget* content = nullptr;        // borrowed: the overlay where views are placed
    GtkWidget* menuBar = nullptr;        // borrowed: the menu bar above the content, when it has one
    GtkWidget* titleBar = nullptr;       // borrowed: the title bar drawn over the content, when it has one
    GtkWidget* headerBar = nullptr;      // borrowed: the title bar's header bar
    GtkWidget* menuButton = nullptr;     // borrowed: the header bar's button that opens the menu
    GtkWidget* toolbar = nullptr;        // borrowed: the tall toolbar below the header bar, when it has one
    int titleBarHeight = 0;              // the title bar's height as last reported
    std::vector<GtkWidget*> menuShells;  // borrowed: every shell showing the application's menu
    GObjectPtr<GtkCssProvider> background;
    WindowEventSink events{};
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool active = false;
    bool maximized = false;
    bool fullScreen = false;
    bool iconified = false;
    bool obscured = false;  // wholly covered by other windows
    // Key presses and releases typed at the window while its keys are held, in order; once they
    // are let go, they go on one at a time (menus.cpp), and the keys typed meanwhile wait behind.
    bool keysHeld = false;
    bool releasing = false;
    std::deque<GdkEventPtr> heldKeys;
};

struct GstObjectUnref {
    void operator()(gpointer object) const { gst_object_unref(object); }
};
template <class T>
using GstObjectPtr = std::unique_ptr<T, GstObjectUnref>;

// One audio player: a playbin whose audio sink carries the tap and the volume. Bus messages arrive
// on the main loop; the tap's probe runs on a streaming thread and reads only the atomics and,
// once `tapReady` is set, the tap.
struct GtkPlayerRecord {
    GtkState* state = nullptr;
    std::uint64_t number = 0;
    GstObjectPtr<GstElement> pipeline;
    GstObjectPtr<GstElement> volume;  // the audio sink's volume, after the tap
    guint busWatch = 0;
    PlayerEventSink events{};
    bool stream = false;
    bool prerolled = false;  // the first preroll is done: the player is ready
    bool tracksAsked = false;
    bool playing = false;  // asked to play
    bool ended = false;
    bool failed = false;
    bool shortOfData = false;  // a stream's buffering is under 100%
    std::optional<std::uint64_t> seekBeforePrerollMs;
    std::optional<gint64> seekTargetNs;  // the position while a seek is under way
    guint32 seekSeqnum = GST_SEQNUM_INVALID;
    gint64 lastPositionNs = 0;
    AudioTap tap{};
    std::atomic<bool> tapReady{false};
    std::atomic<double> sampleRate{0};
    std::atomic<std::int32_t> channels{0};
};

// The part of every view record placed in an overlay (a window's content or a container): the
// overlay positions the widget from it, and `restack` orders widgets through it. A view's ViewRef
// points at this part.
struct GtkPlacedView {
    GtkWidget* widget = nullptr;  // a child of the overlay
    RectD frame{};                // in the overlay, y down
    bool followsWindow = false;   // it fills the overlay instead
};

inline GtkPlacedView& placedView(ViewRef ref) { return *reinterpret_cast<GtkPlacedView*>(ref); }
// Makes the overlay place each child marked with its view (once per overlay).
void placeViewsIn(GtkWidget* overlay);
// Marks `widget` as the widget of `view` (null: no longer placed).
void markPlaced(GtkWidget* widget, GtkPlacedView* view);

// What a canvas view paints: premultiplied ARGB32 pixels, width * height of them.
struct GtkCanvasPicture {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint32_t> pixels;
};

// A canvas view's input (canvas_input.cpp): where it goes, the input method that composes text,
// and what that method made of the key being filtered.
struct GtkCanvasInput {
    CanvasInputSink sink{};
    GObjectPtr<GtkIMContext> im;
    CanvasCursor cursor = CanvasCursor::arrow;
    bool filtering = false;
    std::vector<CanvasInputEvent> composed;

    GtkCanvasInput() = default;
    GtkCanvasInput(const GtkCanvasInput&) = delete;
    GtkCanvasInput& operator=(const GtkCanvasInput&) = delete;
    // The input method forgets the view's window, quietly, before it goes.
    ~GtkCanvasInput() {
        if (!im) return;
        g_signal_handlers_disconnect_matched(im.get(), G_SIGNAL_MATCH_UNBLOCKED, 0, 0, nullptr, nullptr, nullptr);
        gtk_im_context_set_client_window(im.get(), nullptr);
    }
};

// One native view.
struct GtkNativeViewRecord : GtkPlacedView {
    GtkState* state = nullptr;
    std::uint64_t number = 0;
    std::uint64_t parent = 0;      // the number of the native view it lies in; 0: the window's content
    GtkWidget* overlay = nullptr;  // a container's overlay, where views inside it are placed
    GtkWidget* control = nullptr;  // the widget that acts (a container's background box)
    NativeControl kind = NativeControl::container;
    std::int64_t depth = 0;
    NativeActionSink action{};
    std::vector<GtkWidget*> segments;  // a segmented control's buttons
    bool quiet = false;                // the backend itself changes the control: no action
    GObjectPtr<GtkCssProvider> css;
    GtkCanvasPicture picture;         // canvas views
    GtkCanvasInput input;             // canvas views
    ElementActionSink elementSink{};  // canvas views: actions on their accessibility elements
};

// The HTML or RTF this process offers on the clipboard through GTK, from its write until GTK clears
// it (another program, or another write of this process, took the clipboard). GTK hands it to the
// get and clear functions; the state owns it. Plain text goes through the clipboard's own X
// connection (selection_owner.hpp) instead.
struct GtkClipboardOffer {
    GtkState* state = nullptr;
    ClipboardType type = ClipboardType::html;
    std::string bytes;
};

// One download under way; it frees itself when it ends.
struct GtkDownloadRecord {
    GtkState* state = nullptr;
    DownloadId id = 0;
    DownloadDone done;
    GObjectPtr<SoupMessage> message;
    GObjectPtr<GFile> file;  // the temporary file the body goes to
    GObjectPtr<GFileIOStream> stream;
    GObjectPtr<GCancellable> cancellable;
    int status = 0;
};

// The desktop's appearance as its settings portal tells it (appearance.cpp).
struct GtkPortalAppearance {
    bool started = false;
    guint subscription = 0;            // the portal's change signal
    guint nameWatch = 0;               // the portal coming onto the bus
    std::uint32_t colorScheme = 0;     // 0 no preference, 1 dark, 2 light
    std::uint32_t contrast = 0;        // 0 no preference, 1 higher
    bool desktopHighContrast = false;  // the desktop's own accessibility setting
    // GTK's dark preference as it was before the portal's scheme was put into it.
    std::optional<gboolean> preferDarkBefore;
    bool applying = false;  // GTK's settings are being changed from the portal's
};

// The left button as last seen in one of our windows (menus.cpp notes it, windows.cpp reads it):
// a page asks to move its window from a script message that arrives after the press was handled,
// when GTK has no event at hand any more.
struct GtkLeftButton {
    bool held = false;     // pressed, and neither seen released nor handed to a move since
    bool dragged = false;  // moved since it was pressed
    int clickCount = 0;
    double rootX = 0;
    double rootY = 0;
    guint32 time = 0;
    guint32 pressTime = 0;  // the time of the press itself, which moves do not change
};

// A file chooser asked to answer (dialog_answers.cpp), from its accept button's activation until
// it ends or shows it will not: the key presses and releases that reached it since, in order, and
// what it does meanwhile.
struct GtkDialogAnswer {
    GtkWidget* dialog = nullptr;  // borrowed: the chooser; null: none answering
    std::vector<GdkEventPtr> keys;
    bool flashing = false;          // its accept button was activated, and has not been clicked yet
    bool ending = false;            // its response went through: it ends
    GtkWidget* question = nullptr;  // borrowed: a question or an error shown over it, until answered
    bool questionMapped = false;    // the question is on the screen: keys typed since are its own
    GdkWindow* watched = nullptr;   // a reference: the chooser's window, whose cursor tells it is busy
    gulong cursorWatch = 0;
    guint settle = 0;  // the turn of the loop that looks at what it did
};

// The keys typed ahead of a dialog a page asked for (dialog_keys_ahead.cpp): from the moment the
// dialog is about to show, the keys typed at any window wait here until the page has told which of
// the keys it holds were typed ahead of the dialog; those go to the dialog first, then these, one
// at a time, and the keys typed meanwhile wait behind them.
struct GtkKeysAhead {
    bool holding = false;
    bool releasing = false;
    bool handing = false;  // a key of the queue is being handed on
    std::deque<GdkEventPtr> keys;
    GtkWidget* dialog = nullptr;  // a reference, while the page's keys are on their way
    std::uint64_t webView = 0;    // the web view whose page asked for the dialog
    std::uint64_t asking = 0;     // the page's answer that counts: one number per dialog
    guint deadline = 0;           // lets the keys that waited go on when the page does not answer
};

struct GtkState {
    StandIn record;
    bool opened = false;
    GMainLoopPtr loop;

    // Main queue: any thread may post; one idle source drains it.
    std::mutex mutex;
    std::deque<Task> tasks;
    bool drainScheduled = false;

    std::map<TimerId, GSource*> timers;  // borrowed: the main context holds each source
    TimerId nextTimer = 1;

    std::vector<DocumentType> documentTypes;  // what open choosers offer when they name no extensions
    std::vector<GtkDialog*> runningDialogs;   // borrowed: the dialogs run modally now, innermost last
    bool quitting = false;                    // the loop was told to end: dialogs answer as cancelled
    GtkDialogAnswer dialogAnswer;
    GtkKeysAhead keysAhead;
    bool windowMapsWatched = false;  // windows mapped are watched for questions over a chooser
    // The display server's windows whose keys go to others, by number: questions GTK destroyed as
    // soon as they were answered, and the choosers they were shown over (dialog_ends.cpp).
    bool keysRedirected = false;
    int inputOpcode = -1;  // the XInput extension's major opcode
    std::deque<std::pair<unsigned long, unsigned long>> keyRedirects;

    guint terminateSource = 0;
    struct sigaction watchAction {};  // SIGTERM's action while the watch has it (GLib's handler)
    Task onTerminate;

    std::vector<gulong> appearanceHandlers;
    Task onAppearanceChange;
    GtkPortalAppearance portalAppearance;

    std::map<std::uint64_t, std::unique_ptr<GtkWindowRecord>> windows;
    std::uint64_t nextWindow = 1;
    GObjectPtr<GdkPixbuf> appIcon;
    std::vector<GObjectPtr<GdkPixbuf>> windowIcons;  // appIcon in the sizes windows carry, largest first

    bool gstreamerReady = false;
    bool audioToFakeSink = false;
    std::map<std::uint64_t, std::unique_ptr<GtkPlayerRecord>> players;
    std::uint64_t nextPlayer = 1;
    std::map<std::uint64_t, std::unique_ptr<GtkNativeViewRecord>> nativeViews;
    std::uint64_t nextNativeView = 1;
    std::vector<GtkWidget*> adoptedSurfaces;
    bool focusAdoptedOnClick = false;
    GObjectPtr<SoupSession> soup;
    std::map<DownloadId, GtkDownloadRecord*> downloads;  // each frees itself when it ends
    DownloadId nextDownload = 1;
    KeyMonitor keyMonitor{};
    GtkLeftButton leftButton;
    std::vector<Menu> menuBar;  // what every window's menu shows
    MenuBarSink menuBarSink{};
    guint32 menuChoiceTime = 0;  // while a menu item's choice is handled: the server time of the click or key; 0: none
    std::unique_ptr<GtkStatusItemRecord> statusItem;    // the one status item, while it exists
    GObjectPtr<GtkCssProvider> titleBarLook;            // makes title bars drawn over content transparent
    GtkWidget* aboutPanel = nullptr;                    // the About panel while it is open (GTK holds it)
    std::unique_ptr<GtkClipboardOffer> clipboardOffer;  // while the clipboard holds this process's HTML or RTF
    std::uint64_t clipboardTextWrites = 0;              // the last plain-text write's number
    std::uint32_t takesSeen = 0;                        // takes of the clipboard by anything else, as the loop saw them
    guint32 inputTime = 0;                // the display server's time of the latest key or click; 0: not timed
    GtkSelectionConnectionPtr selection;  // the clipboard's X connection, made by its first read or text
    // The web view whose script message is being handed to the host now (script_messages.cpp); 0: none.
    std::uint64_t messageWebView = 0;
    std::uint64_t clipboardTextRead = 0;  // the read of readTextLater going on; 0: none

    void post(Task task);
};

LoopService gtkLoop();
WindowService gtkWindows();
WorkspaceService gtkWorkspace();
AudioService gtkAudio();
BundleService gtkBundle();
NativeViewService gtkNativeViews();
CanvasService gtkCanvas();
// The drawing area of a canvas view, painting `record.picture`.
GtkWidget* makeCanvasArea(GtkNativeViewRecord& record);
// Makes the canvas view's area report pointer, wheel, key and input-method input.
void listenForCanvasInput(GtkNativeViewRecord& record, GtkWidget* area);
void setCanvasInputSink(void* self, ViewRef view, CanvasInputSink sink);
void setCanvasCursor(void* self, ViewRef view, CanvasCursor cursor);
void setCanvasCaretRect(void* self, ViewRef view, RectD caret);
// The modifier keys (kKey...) held in a GDK modifier state, and the GDK state of modifier keys.
std::uint32_t heldKeys(guint state);
GdkModifierType gtkModifierState(std::uint32_t keys);
// Offers the key monitor a press that a focused web view gave back unhandled (menus.cpp); true
// when the monitor consumed it.
bool gtkOfferKeyNotHandled(GtkState& state, const GdkEventKey& key);
// A drawing area whose accessible holds a canvas view's accessibility elements as children.
GtkWidget* newCanvasDrawingArea();
AccessibilityService gtkAccessibility();
ClipboardService gtkClipboard();
DialogService gtkDialogs();
// Notes the writes to the clipboard by other parts of this process (clipboard.cpp), once GTK is set up.
void gtkWatchClipboardWrites(GtkState& state);
// Answers every dialog run modally now as cancelled, with what GTK shows over it, so that their
// loops return at once.
void gtkCancelRunningDialogs(GtkState& state);
// How a dialog run modally ends (dialog_ends.cpp): once answered, it gives the keyboard back to
// the window it was shown over and is destroyed when the keys typed at it meanwhile have gone on;
// the GDK window such a key goes to instead of `window` (null: its own).
void gtkEndDialog(GtkState& state, GtkWidget* dialog);
GdkWindow* gtkKeyWindowAfterDialogs(GdkWindow* window);
// A dialog GTK destroys as soon as it is answered (a question or an error shown over a file
// chooser): from now on the keys typed at it reach `under`, the window it was shown over, which
// takes the keyboard back.
void gtkKeysGoOnAfter(GtkState& state, GtkWidget* dialog, GtkWidget* under);
// A file chooser asked to answer (dialog_answers.cpp) keeps the keys typed at it until it ends,
// when gtkEndDialog hands them to `target`, the window under it (null: nowhere), or until it shows
// it will not, when they go on to it; a question or an error shown over it takes only the keys
// typed once it is on the screen. Watches the chooser's ways of being asked; keeps a key (a copy:
// true) that reaches a chooser asked to answer; notes a window mapped on the screen.
void gtkWatchAnswer(GtkState& state, GtkWidget* chooser);
bool gtkKeepAnswerKey(GtkState& state, GdkEvent* event);
void gtkNoteWindowShown(GtkState& state, GdkWindow* window);
void gtkHandAnswerKeysOn(GtkState& state, GtkWidget* dialog, GdkWindow* target);
// Hands a key event on as one from the display server (menus.cpp): to the window under a dialog
// that ended, kept while a chooser answers or the window holds its keys, else through the monitor.
void gtkHandKeyOn(GtkState& state, GdkEvent* event);
// The keys typed ahead of a dialog a page asked for (dialog_keys_ahead.cpp): from now on the keys
// typed wait, the page's keys typed ahead of `dialog` (the panel's `keysAhead` script, run in the
// page whose message is being handled) go to it first, then the keys that waited. Keeps a key (a
// copy: true) that must wait.
void gtkTakeKeysAhead(GtkState& state, GtkWidget* dialog, std::string_view keysAhead);
bool gtkKeepKeyAhead(GtkState& state, GdkEvent* event);
// Posts `then` to the main queue once the pages have handled every key handed to them so far
// (page_order.cpp): at once when none waits to be.
void gtkAfterKeysHandled(GtkState& state, Task then);
KeyringService gtkKeyring();
MenuService gtkMenus();
StatusItemService gtkStatusItem();
// The appearance: the settings portal's where it says, GTK's settings otherwise. Reading it starts
// following the portal, which puts its dark preference into GTK's settings (and so into the pages).
Appearance gtkAppearance(GtkState& state);
void gtkWatchAppearance(GtkState& state, Task onChange);
void gtkUnwatchAppearance(GtkState& state);

// The window record behind a reference, and the one whose toplevel holds a GDK window (null when
// the GDK window is not one of ours).
inline GtkWindowRecord& gtkWindowRecord(WindowRef ref) { return *reinterpret_cast<GtkWindowRecord*>(ref); }
GtkWindowRecord* gtkWindowRecordFor(GtkState& state, GdkWindow* window);
// Appends the items to a menu; choosing one calls `onActivate` with the item (its tag under
// "kelvo-tag") and `data`.
void gtkFillMenu(GtkMenuShell* menu, std::span<const MenuItem> items, GCallback onActivate, gpointer data);
// The window of ours that has keyboard focus, for dialogs to be transient for; null when none.
GtkWindow* gtkActiveWindow(GtkState& state);

// The application's menu for a window, in one place (menu_bar.cpp): fills `shell` (the window's
// menu bar, or the menu of a button that offers the same menu) with the menus the host set, each
// an item with its submenu, whose items show their keys, sensitivity and check marks and report
// clicks to the host for this window; from then on the shell follows every new menu bar until it
// is destroyed.
void gtkAttachWindowMenu(GtkWindowRecord& window, GtkMenuShell* shell);
// Every attached shell shows `menus` from now on (the host's new bar).
void gtkShowMenuBar(GtkState& state, std::span<const Menu> menus);
// The height of the window's menu bar above its content; 0 without one.
int gtkMenuBarHeight(const GtkWindowRecord& window);
// Where the window's content starts inside its toplevel's GDK window: below the menu bar, or
// inside the frame a client-decorated window draws around itself.
GdkPoint gtkContentOffset(const GtkWindowRecord& window);

// The title bar of a full-size-content window (title_bar.cpp): a transparent header bar with the
// window's buttons and its menu button, drawn over the top of the content, with an empty toolbar
// joined below it when `tallToolbar` is set. `frame` is an overlay whose main child is the
// window's content; the window draws its own decorations.
void gtkAddTitleBar(GtkWindowRecord& window, GtkWidget* frame, bool tallToolbar);
// The part of the content under the title bar, and the window's buttons, in content coordinates.
ChromeLayout gtkTitleBarChrome(const GtkWindowRecord& window, RectD bounds);
void gtkSetToolbarVisible(GtkWindowRecord& window, bool visible);
// What the user chose to happen on a double click in a title bar.
TitlebarDoubleClick gtkTitlebarDoubleClick();
// Hands a window event to the host from the main queue, unless the window is gone by then.
void gtkDeliverLater(GtkWindowRecord& window, WindowEventKind kind, std::string paths = {});
// The X key value a menu shows for one of the host's key names ("w", "=", "enter"); 0 for none.
guint gtkKeyvalOfName(std::string_view name);
// The view a widget belongs to: the nearest of it and its ancestors placed as a view (null when
// none is, or for an adopted widget, which is no view of ours).
GtkPlacedView* gtkPlacedViewOf(GtkWidget* widget);
WebViewService gtkWebViews();
SchemeService gtkScheme();
ScriptMessageService gtkScriptMessages();

// The local paths of a drop's URI list, NUL between them; URIs without a local path are left out.
std::string droppedPaths(GtkSelectionData* data);

inline GtkState& gtkState(void* self) { return *static_cast<GtkState*>(self); }

}  // namespace kelvo::standin

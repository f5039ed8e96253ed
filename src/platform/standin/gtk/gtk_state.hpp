#pragma once

// Private to the GTK backend: its state and the service groups each file fills.

#include <gtk/gtk.h>

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/standin/gtk/gobject_ptr.hpp"
#include "platform/standin/standin.hpp"

namespace kelvo::standin {

struct GtkState;

// One window. Signal handlers get the record as user data; it outlives every connection because
// `destroy` disconnects them before it goes.
struct GtkWindowRecord {
    GtkState* state = nullptr;
    std::uint64_t number = 0;
    GtkWidget* window = nullptr;   // a toplevel: GTK holds it until gtk_widget_destroy
    GtkWidget* content = nullptr;  // borrowed: the window's child, where views will be placed
    GObjectPtr<GtkCssProvider> background;
    WindowEventSink events{};
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool active = false;
    bool maximized = false;
    bool fullScreen = false;
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

    guint terminateSource = 0;
    Task onTerminate;

    std::vector<gulong> appearanceHandlers;
    Task onAppearanceChange;

    std::map<std::uint64_t, std::unique_ptr<GtkWindowRecord>> windows;
    std::uint64_t nextWindow = 1;
    GObjectPtr<GdkPixbuf> appIcon;

    KeyMonitor keyMonitor{};
    GtkStatusIcon* statusIcon = nullptr;  // owned; the one status item
    bool statusIconHasImage = false;
    GtkWidget* statusMenu = nullptr;  // owned through a reference taken with g_object_ref_sink
    MenuChoice statusMenuChosen;

    void post(Task task);
};

LoopService gtkLoop();
WindowService gtkWindows();
WorkspaceService gtkWorkspace();
ClipboardService gtkClipboard();
DialogService gtkDialogs();
KeyringService gtkKeyring();
MenuService gtkMenus();
StatusItemService gtkStatusItem();

// The window record behind a reference, and the one whose toplevel holds a GDK window (null when
// the GDK window is not one of ours).
inline GtkWindowRecord& gtkWindowRecord(WindowRef ref) { return *reinterpret_cast<GtkWindowRecord*>(ref); }
GtkWindowRecord* gtkWindowRecordFor(GtkState& state, GdkWindow* window);
// Appends the items to a menu; choosing one calls `onActivate` with the item (its tag under
// "kelvo-tag") and `data`.
void gtkFillMenu(GtkMenuShell* menu, std::span<const MenuItem> items, GCallback onActivate, gpointer data);
// The window of ours that has keyboard focus, for dialogs to be transient for; null when none.
GtkWindow* gtkActiveWindow(GtkState& state);
WebViewService gtkWebViews();
SchemeService gtkScheme();
ScriptMessageService gtkScriptMessages();

// The local paths of a drop's URI list, NUL between them; URIs without a local path are left out.
std::string droppedPaths(GtkSelectionData* data);

inline GtkState& gtkState(void* self) { return *static_cast<GtkState*>(self); }

}  // namespace kelvo::standin

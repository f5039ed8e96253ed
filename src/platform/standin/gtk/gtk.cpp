#include "platform/standin/gtk/gtk.hpp"

#include "platform/standin/gtk/gtk_state.hpp"

namespace kelvo::standin {

StandIn& gtkStandIn() {
    // GTK cannot be set up twice in a process, nor torn down: one state for the process's life.
    static GtkState* state = [] {
        auto* made = new GtkState();
        made->record.self = made;
        made->record.loop = gtkLoop();
        made->record.windows = gtkWindows();
        made->record.workspace = gtkWorkspace();
        made->record.audio = gtkAudio();
        made->record.bundle = gtkBundle();
        made->record.nativeViews = gtkNativeViews();
        made->record.canvas = gtkCanvas();
        made->record.clipboard = gtkClipboard();
        made->record.dialogs = gtkDialogs();
        made->record.keyring = gtkKeyring();
        made->record.menus = gtkMenus();
        made->record.statusItem = gtkStatusItem();
        made->record.webviews = gtkWebViews();
        made->record.scheme = gtkScheme();
        made->record.scriptMessages = gtkScriptMessages();
        made->record.accessibility = gtkAccessibility();
        return made;
    }();
    return state->record;
}

void gtkAudioToFakeSink(bool on) { gtkState(gtkStandIn().self).audioToFakeSink = on; }

}  // namespace kelvo::standin

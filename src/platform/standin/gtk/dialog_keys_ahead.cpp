// The keys typed after the key that asks for a dialog, before the dialog shows, go to the dialog,
// in order, as they would have had it shown at once (as they do at the start, where the keys
// typed ahead of the page go on one at a time: menus.cpp).
//
// A web view hands its page one key at a time, each once the page has handled the one before, so
// the keys typed right after the key that asks for a dialog reach the page before the dialog
// shows, the more of them the busier the machine; and a page that shows dialogs from commands
// that take a while to begin holds the keys typed meanwhile. So as a dialog a page asked for is
// about to show, the keys typed at any window wait; once the page has handled every key handed to
// it, it is asked (the panel's script) for the keys it holds that were typed ahead of the dialog.
// Those go to the dialog first, made as the display server would deliver them, then the keys that
// waited, one at a time, each once the page that took the one before (should the dialog have
// ended) has handled it; keys typed meanwhile wait behind them. A page that does not answer within
// kAnswerWaitNs lets the keys that waited go on; its keys follow them when its answer comes.

#include <algorithm>
#include <utility>

#include "platform/standin/gtk/gtk_web_state.hpp"

namespace kelvo::standin {

namespace {

constexpr std::uint64_t kAnswerWaitNs = 5'000'000'000;
// Far more than anyone types ahead of a dialog; a page's answer is read no further.
constexpr guint kMostKeysAhead = 512;

// The page's names of the keys that type no character, and the keys they are.
struct PageKey {
    std::string_view name;
    guint keyval;
};
constexpr PageKey kPageKeys[] = {
    {"Enter", GDK_KEY_Return},       {"Tab", GDK_KEY_Tab},       {"Backspace", GDK_KEY_BackSpace},
    {"Delete", GDK_KEY_Delete},      {"Escape", GDK_KEY_Escape}, {"ArrowLeft", GDK_KEY_Left},
    {"ArrowRight", GDK_KEY_Right},   {"ArrowUp", GDK_KEY_Up},    {"ArrowDown", GDK_KEY_Down},
    {"Home", GDK_KEY_Home},          {"End", GDK_KEY_End},       {"PageUp", GDK_KEY_Page_Up},
    {"PageDown", GDK_KEY_Page_Down}, {"Insert", GDK_KEY_Insert},
};

// The key a page's key event names: by its name, or for a character by the character; a key the
// page could not name (Shift+Tab, which X calls ISO_Left_Tab) by its code. 0: none known.
guint keyvalOf(std::string_view key, std::string_view code, bool shift) {
    if (key == "Unidentified") key = code;
    if (key == "Tab" && shift) return GDK_KEY_ISO_Left_Tab;
    for (const PageKey& named : kPageKeys) {
        if (named.name == key) return named.keyval;
    }
    const std::string text(key);
    if (g_utf8_validate(text.c_str(), static_cast<gssize>(text.size()), nullptr) &&
        g_utf8_strlen(text.c_str(), -1) == 1) {
        return gdk_unicode_to_keyval(g_utf8_get_char(text.c_str()));
    }
    // Function keys are named alike ("F5").
    const guint keyval = gdk_keyval_from_name(text.c_str());
    return keyval == GDK_KEY_VoidSymbol ? 0 : keyval;
}

std::string textOf(JSCValue* item, const char* name) {
    GObjectPtr<JSCValue> value(jsc_value_object_get_property(item, name));
    if (!value || !jsc_value_is_string(value.get())) return {};
    GCharPtr text(jsc_value_to_string(value.get()));
    return text ? std::string(text.get()) : std::string();
}

bool flagOf(JSCValue* item, const char* name) {
    GObjectPtr<JSCValue> value(jsc_value_object_get_property(item, name));
    return value && jsc_value_to_boolean(value.get());
}

// The press and the release of the keys the page answered, as the display server delivers them to
// `window`, each at the time of the latest key typed.
std::vector<GdkEventPtr> keysOfAnswer(GtkState& state, JSCValue* answer, GdkWindow* window) {
    std::vector<GdkEventPtr> keys;
    if (answer == nullptr || window == nullptr || !jsc_value_is_array(answer)) return keys;
    GObjectPtr<JSCValue> lengthValue(jsc_value_object_get_property(answer, "length"));
    const gint32 length = lengthValue ? jsc_value_to_int32(lengthValue.get()) : 0;
    GdkDisplay* display = gdk_window_get_display(window);
    for (guint at = 0; at < static_cast<guint>(std::max(length, 0)) && at < kMostKeysAhead; ++at) {
        GObjectPtr<JSCValue> item(jsc_value_object_get_property_at_index(answer, at));
        if (!item || !jsc_value_is_object(item.get())) continue;
        const bool shift = flagOf(item.get(), "shiftKey");
        const guint keyval = keyvalOf(textOf(item.get(), "key"), textOf(item.get(), "code"), shift);
        if (keyval == 0) continue;
        guint modifiers = shift ? GDK_SHIFT_MASK : 0;
        if (flagOf(item.get(), "ctrlKey")) modifiers |= GDK_CONTROL_MASK;
        if (flagOf(item.get(), "altKey")) modifiers |= GDK_MOD1_MASK;
        if (flagOf(item.get(), "metaKey")) modifiers |= GDK_SUPER_MASK;
        GdkKeymapKey* codes = nullptr;
        gint count = 0;
        if (!gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(display), keyval, &codes, &count)) count = 0;
        for (GdkEventType type : {GDK_KEY_PRESS, GDK_KEY_RELEASE}) {
            GdkEvent* event = gdk_event_new(type);
            event->key.window = GDK_WINDOW(g_object_ref(window));
            event->key.time = state.inputTime;
            event->key.state = modifiers;
            event->key.keyval = keyval;
            if (count > 0) {
                event->key.hardware_keycode = static_cast<guint16>(codes[0].keycode);
                event->key.group = static_cast<guint8>(codes[0].group);
            }
            gdk_event_set_device(event, gdk_seat_get_keyboard(gdk_display_get_default_seat(display)));
            keys.emplace_back(event);
        }
        g_free(codes);
    }
    return keys;
}

// Hands the first key of the queue on, and the next once the pages have handled it.
void handNext(GtkState& state) {
    GtkKeysAhead& ahead = state.keysAhead;
    if (ahead.holding || ahead.keys.empty()) {
        ahead.releasing = false;
        return;
    }
    ahead.releasing = true;
    GdkEventPtr event = std::move(ahead.keys.front());
    ahead.keys.pop_front();
    ahead.handing = true;
    gtkHandKeyOn(state, event.get());
    ahead.handing = false;
    gtkAfterKeysHandled(state, [&state] { handNext(state); });
}

// The keys that waited go on (after the page's, when they came).
void letGo(GtkState& state) {
    GtkKeysAhead& ahead = state.keysAhead;
    if (ahead.deadline != 0) g_source_remove(std::exchange(ahead.deadline, 0));
    if (ahead.dialog != nullptr) g_object_unref(std::exchange(ahead.dialog, nullptr));
    ahead.holding = false;
    if (!ahead.releasing) handNext(state);
}

// Where the page's keys go: the dialog, or once it is gone (or was never shown) the window of the
// page, which hands a key typed at an ended dialog on to the window under it.
GdkWindow* targetOf(GtkState& state, std::uint64_t webView) {
    GtkWidget* dialog = state.keysAhead.dialog;
    if (dialog != nullptr && gtk_widget_get_realized(dialog)) return gtk_widget_get_window(dialog);
    GtkWebViewRecord* record = findWebView(state, webView);
    if (record == nullptr || !gtk_widget_get_realized(record->widget)) return nullptr;
    return gdk_window_get_toplevel(gtk_widget_get_window(record->widget));
}

struct Asked {
    GtkState* state;
    std::uint64_t number;
    std::uint64_t webView;
};

void onAnswered(GObject* source, GAsyncResult* result, gpointer data) {
    const std::unique_ptr<Asked> asked(static_cast<Asked*>(data));
    GtkState& state = *asked->state;
    GObjectPtr<JSCValue> answer(webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, nullptr));
    std::vector<GdkEventPtr> keys = keysOfAnswer(state, answer.get(), targetOf(state, asked->webView));
    GtkKeysAhead& ahead = state.keysAhead;
    // In time, the page's keys go before every key that waited; late, after them.
    const bool inTime = asked->number == ahead.asking && ahead.holding;
    auto at = inTime ? ahead.keys.begin() : ahead.keys.end();
    ahead.keys.insert(at, std::make_move_iterator(keys.begin()), std::make_move_iterator(keys.end()));
    if (inTime) {
        letGo(state);
    } else if (!ahead.holding && !ahead.releasing) {
        handNext(state);
    }
}

void ask(GtkState& state, std::uint64_t number, std::uint64_t webView, std::string script) {
    GtkKeysAhead& ahead = state.keysAhead;
    if (number != ahead.asking || !ahead.holding) return;
    GtkWebViewRecord* record = findWebView(state, webView);
    if (record == nullptr) {
        letGo(state);
        return;
    }
    webkit_web_view_evaluate_javascript(WEBKIT_WEB_VIEW(record->widget), script.data(),
                                        static_cast<gssize>(script.size()), nullptr, nullptr, nullptr, onAnswered,
                                        new Asked{&state, number, webView});
}

}  // namespace

void gtkTakeKeysAhead(GtkState& state, GtkWidget* dialog, std::string_view keysAhead) {
    GtkKeysAhead& ahead = state.keysAhead;
    const std::uint64_t webView = state.messageWebView;
    if (keysAhead.empty() || webView == 0 || state.quitting || ahead.holding) return;
    ahead.holding = true;
    ahead.dialog = GTK_WIDGET(g_object_ref(dialog));
    ahead.webView = webView;
    const std::uint64_t number = ++ahead.asking;
    ahead.deadline = g_timeout_add_full(
        G_PRIORITY_DEFAULT, static_cast<guint>(kAnswerWaitNs / 1'000'000),
        [](gpointer data) {
            auto& alive = *static_cast<GtkState*>(data);
            alive.keysAhead.deadline = 0;
            letGo(alive);
            return G_SOURCE_REMOVE;
        },
        &state, nullptr);
    // The page is asked once it has handled every key handed to it: those it holds are all it got.
    gtkAfterKeysHandled(state, [&state, number, webView, script = std::string(keysAhead)]() mutable {
        ask(state, number, webView, std::move(script));
    });
}

bool gtkKeepKeyAhead(GtkState& state, GdkEvent* event) {
    GtkKeysAhead& ahead = state.keysAhead;
    if (ahead.handing || (!ahead.holding && !ahead.releasing)) return false;
    ahead.keys.emplace_back(gdk_event_copy(event));
    return true;
}

}  // namespace kelvo::standin

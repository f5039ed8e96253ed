// What goes to a page keeps the order it was given in: a reply or an event handed to a web view
// reaches its page after the keys handed to that web view before it.
//
// Found while reading WebKitGTK 2.50: the web view hands a key to its page only once the page
// has acknowledged the one before (the others wait in the web view), while a script to run (our
// replies and events) goes to the page at once; so a reply could overtake keys typed before it
// came, and reach the page first. So each key handed to a web view is confirmed by a script of no
// consequence, run in a script world of our own, sent once the confirmation of the key before it
// has come back: by then the page has acknowledged that key, and the web view has sent it the
// next one, which the confirmation follows on the same connection. A reply or an event waits until
// the confirmation of the last key handed before it has come back. A confirmation that fails (the
// page went) counts as one.

#include <algorithm>

#include "platform/standin/gtk/gtk_web_state.hpp"

namespace kelvo::standin {

namespace {

constexpr const char* kConfirmWorld = "kelvo-key-order";

void send(GtkWebViewRecord& record, const GtkPageOutput& output) {
    WebKitWebView* view = WEBKIT_WEB_VIEW(record.widget);
    if (!output.call) {
        webkit_web_view_evaluate_javascript(view, output.script.data(), static_cast<gssize>(output.script.size()),
                                            nullptr, nullptr, nullptr, nullptr, nullptr);
        return;
    }
    // The web view only reads the arguments (into the message to the page): they stay ours to
    // free, and a reply may carry a megabyte of a file.
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&builder, "{sv}", "json", g_variant_new_string(output.json.c_str()));
    const GVariantPtr arguments(g_variant_ref_sink(g_variant_builder_end(&builder)));
    webkit_web_view_call_async_javascript_function(view, output.script.data(),
                                                   static_cast<gssize>(output.script.size()), arguments.get(), nullptr,
                                                   nullptr, nullptr, nullptr, nullptr);
}

// Runs what waited for keys now handled.
void wakeWaiters(GtkState& state) {
    GtkWebState& web = gtkWebState(state);
    std::vector<Task> ready;
    std::erase_if(web.keyWaiters, [&](GtkKeyWaiter& waiter) {
        const bool handled = std::ranges::all_of(waiter.keys, [&](const std::pair<std::uint64_t, std::uint64_t>& key) {
            const GtkWebViewRecord* record = findWebView(state, key.first);
            return record == nullptr || record->keysConfirmed >= key.second;
        });
        if (handled) ready.push_back(std::move(waiter.then));
        return handled;
    });
    for (Task& task : ready) state.post(std::move(task));
}

void confirmNext(GtkWebViewRecord& record);

// The web view the confirmation came from tells whose it is; it covers the count its record notes.
void onConfirmed(GObject* source, GAsyncResult* result, gpointer data) {
    if (JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, nullptr)) {
        g_object_unref(value);
    }
    GtkState& state = *static_cast<GtkState*>(data);
    if (GtkWebViewRecord* record = findWebView(state, webViewNumberOf(WEBKIT_WEB_VIEW(source)))) {
        record->keysConfirmed = std::max(record->keysConfirmed, record->confirming);
        record->confirming = 0;
        while (!record->waitingOutputs.empty() && record->waitingOutputs.front().afterKey <= record->keysConfirmed) {
            const GtkPageOutput output = std::move(record->waitingOutputs.front());
            record->waitingOutputs.pop_front();
            send(*record, output);
        }
        if (record->keysHanded > record->keysConfirmed) confirmNext(*record);
    }
    wakeWaiters(state);
}

// The confirmation of the first key not confirmed yet: sent only once those before it are, so
// that the web view has sent that key by now.
void confirmNext(GtkWebViewRecord& record) {
    record.confirming = record.keysConfirmed + 1;
    webkit_web_view_evaluate_javascript(WEBKIT_WEB_VIEW(record.widget), "0", -1, kConfirmWorld, nullptr, nullptr,
                                        onConfirmed, record.state);
}

// A key reaches the web view's handler, which hands it to the page (or keeps it for later) before
// this returns: the confirmation goes on the next turn of the loop, once it has.
gboolean onKeyHanded(GtkWidget*, GdkEventKey*, gpointer data) {
    auto& record = *static_cast<GtkWebViewRecord*>(data);
    record.keysHanded += 1;
    if (record.confirming != 0 || record.confirmSource != 0) return FALSE;
    record.confirmSource = g_idle_add_full(
        G_PRIORITY_HIGH,
        [](gpointer data) {
            auto& later = *static_cast<GtkWebViewRecord*>(data);
            later.confirmSource = 0;
            if (later.confirming == 0 && later.keysHanded > later.keysConfirmed) confirmNext(later);
            return G_SOURCE_REMOVE;
        },
        &record, nullptr);
    return FALSE;
}

}  // namespace

void watchKeysHanded(GtkWebViewRecord& record) {
    for (const char* signal : {"key-press-event", "key-release-event"}) {
        g_signal_connect(record.widget, signal, G_CALLBACK(onKeyHanded), &record);
    }
}

void forgetKeysHanded(GtkWebViewRecord& record) {
    if (record.confirmSource != 0) g_source_remove(record.confirmSource);
    record.confirmSource = 0;
    record.waitingOutputs.clear();
}

void wakeKeyWaiters(GtkState& state) { wakeWaiters(state); }

void sendToPage(GtkWebViewRecord& record, GtkPageOutput output) {
    if (record.keysHanded == record.keysConfirmed && record.waitingOutputs.empty()) {
        send(record, output);
        return;
    }
    output.afterKey = record.keysHanded;
    record.waitingOutputs.push_back(std::move(output));
}

void gtkAfterKeysHandled(GtkState& state, Task then) {
    GtkKeyWaiter waiter{{}, std::move(then)};
    for (auto& [number, record] : gtkWebState(state).webViews) {
        if (record->keysHanded > record->keysConfirmed) waiter.keys.emplace_back(number, record->keysHanded);
    }
    if (waiter.keys.empty()) {
        state.post(std::move(waiter.then));
        return;
    }
    gtkWebState(state).keyWaiters.push_back(std::move(waiter));
}

}  // namespace kelvo::standin

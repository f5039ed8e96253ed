#pragma once

// Another program on the test's session bus, as the desktop's services are: its own connection,
// served by its own thread and loop, so that it may call the host (whose loop is the test's main
// thread) and wait for the answer. Tests make it own names and serve objects (a status notifier
// watcher, the settings portal, a notification service).

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace kelvo::testing {

class BusPeer {
public:
    // Answers one call: the method's name, its arguments, the invocation to answer.
    using OnCall = std::function<void(const std::string& method, GVariant* arguments, GDBusMethodInvocation*)>;
    // A property's value (a new reference), or null for none.
    using OnGet = std::function<GVariant*(const std::string& name)>;

    BusPeer() {
        context_ = g_main_context_new();
        loop_ = g_main_loop_new(context_, FALSE);
        thread_ = std::thread([this] {
            g_main_context_push_thread_default(context_);
            GError* error = nullptr;
            gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, &error);
            if (address != nullptr) {
                bus_ = g_dbus_connection_new_for_address_sync(
                    address,
                    static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                                      G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
                    nullptr, nullptr, &error);
            }
            g_free(address);
            if (error != nullptr) g_error_free(error);
            ready_.set_value();
            g_main_loop_run(loop_);
            for (Served* served : served_) {
                g_dbus_connection_unregister_object(bus_, served->id);
            }
            if (bus_ != nullptr) {
                g_dbus_connection_close_sync(bus_, nullptr, nullptr);
                g_object_unref(bus_);
            }
            for (Served* served : served_) delete served;
            g_main_context_pop_thread_default(context_);
        });
        ready_.get_future().wait();
    }

    ~BusPeer() {
        g_main_loop_quit(loop_);
        thread_.join();
        g_main_loop_unref(loop_);
        g_main_context_unref(context_);
    }

    BusPeer(const BusPeer&) = delete;
    BusPeer& operator=(const BusPeer&) = delete;

    [[nodiscard]] bool connected() const { return bus_ != nullptr; }
    // The peer's own connection, for steps that run on its thread.
    [[nodiscard]] GDBusConnection* bus() const { return bus_; }

    // Runs `step` on the peer's thread and waits for it; it may call the host only while the
    // host's loop runs on another thread (use `post` from the test's main thread).
    void run(std::function<void(GDBusConnection*)> step) {
        std::promise<void> done;
        post([&] {
            step(bus_);
            done.set_value();
        });
        done.get_future().wait();
    }

    // Runs `step` on the peer's thread without waiting for it.
    void post(std::function<void()> step) {
        auto* task = new std::function<void()>(std::move(step));
        g_main_context_invoke_full(
            context_, G_PRIORITY_DEFAULT,
            [](gpointer data) {
                (*static_cast<std::function<void()>*>(data))();
                return G_SOURCE_REMOVE;
            },
            task, [](gpointer data) { delete static_cast<std::function<void()>*>(data); });
    }

    // Takes `name` on the bus; false when another program has it.
    bool own(const char* name) {
        bool owned = false;
        run([&](GDBusConnection* bus) {
            GVariant* answer = g_dbus_connection_call_sync(
                bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
                g_variant_new("(su)", name, 4u), G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, nullptr);
            if (answer == nullptr) return;
            guint32 outcome = 0;
            g_variant_get(answer, "(u)", &outcome);
            g_variant_unref(answer);
            owned = outcome == 1;
        });
        return owned;
    }

    // Serves the first interface of `xml` at `path`; calls and property reads run on the peer's
    // thread.
    void serve(const char* path, const char* xml, OnCall onCall, OnGet onGet = {}) {
        run([&](GDBusConnection* bus) {
            auto* served = new Served{std::move(onCall), std::move(onGet), g_dbus_node_info_new_for_xml(xml, nullptr)};
            ASSERT_NE(served->node, nullptr);
            served->id = g_dbus_connection_register_object(bus, path, served->node->interfaces[0], &kVTable, served,
                                                           nullptr, nullptr);
            served_.push_back(served);
        });
    }

    // A call to another program, waited for on the peer's thread: the answer (a new reference),
    // or null with the error's text in `error`.
    static GVariant* call(GDBusConnection* bus, const std::string& name, const char* path, const char* interface,
                          const char* method, GVariant* arguments, std::string* error = nullptr) {
        GError* failed = nullptr;
        GVariant* answer = g_dbus_connection_call_sync(bus, name.c_str(), path, interface, method, arguments, nullptr,
                                                       G_DBUS_CALL_FLAGS_NO_AUTO_START, 5000, nullptr, &failed);
        if (failed != nullptr) {
            if (error != nullptr) *error = failed->message;
            g_error_free(failed);
        }
        return answer;
    }

private:
    struct Served {
        OnCall onCall;
        OnGet onGet;
        GDBusNodeInfo* node = nullptr;
        guint id = 0;
        ~Served() { g_dbus_node_info_unref(node); }
    };

    static void onMethod(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                         GVariant* arguments, GDBusMethodInvocation* invocation, gpointer data) {
        static_cast<Served*>(data)->onCall(method, arguments, invocation);
    }
    static GVariant* onProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* name,
                                GError** error, gpointer data) {
        auto* served = static_cast<Served*>(data);
        GVariant* value = served->onGet ? served->onGet(name) : nullptr;
        if (value == nullptr) g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "no %s", name);
        return value;
    }
    static constexpr GDBusInterfaceVTable kVTable = {onMethod, onProperty, nullptr, {}};

    GMainContext* context_ = nullptr;
    GMainLoop* loop_ = nullptr;
    GDBusConnection* bus_ = nullptr;
    std::thread thread_;
    std::promise<void> ready_;
    std::vector<Served*> served_;
};

}  // namespace kelvo::testing

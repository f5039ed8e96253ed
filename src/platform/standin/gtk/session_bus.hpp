#pragma once

// Private to the GTK backend: the desktop's session bus, where the status item, the settings
// portal and the notification service are reached.

#include <gio/gio.h>

#include <string>

namespace kelvo::standin {

// The session bus shared by the process (borrowed: GLib keeps it for the process's life); null
// when there is none.
GDBusConnection* gtkSessionBus();

// Whether a program owns `name` on the bus now.
bool gtkBusNameOwned(GDBusConnection* bus, const char* name);

// Whether a program owns `name`, or the bus starts one that will when it is called.
bool gtkBusNameServed(GDBusConnection* bus, const char* name);

// The unique name of the program that owns `name` now; empty when none does.
std::string gtkBusNameOwner(GDBusConnection* bus, const char* name);

// Takes `name` for this connection unless another program holds it (never queued for it); true
// when the connection owns it now.
bool gtkBusRequestName(GDBusConnection* bus, const char* name);

// Gives `name` up, without waiting for the daemon.
void gtkBusReleaseName(GDBusConnection* bus, const char* name);

}  // namespace kelvo::standin

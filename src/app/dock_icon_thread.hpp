#pragma once

// The thread that draws the application's icon once at start-up (when the program runs outside a
// bundle and has no icon file) and hands it to the host. It is joined before the host goes away,
// so it never calls into a destroyed host, however early the program ends.

#include <pthread.h>

#include <cstdint>
#include <span>

#include "base/error.hpp"

namespace kelvo {

// Where the icon goes. The host copies the pixels (straight-alpha RGBA8, rows from the top, no
// gaps) and applies them on its own thread; it may be called from any thread.
struct DockIconHost {
    void* host = nullptr;
    void (*setDockIconRgba)(void* host, const std::uint8_t* rgba, std::uint64_t width, std::uint64_t height) = nullptr;
};

// The icon image carried in the program: a 1024 x 1024 RGBA PNG.
std::span<const std::uint8_t> embeddedDockIconPng();

// Renders the icon from `png` and hands it to the host. Any failure ends quietly: the host is not
// called and nothing is printed.
void runDockIcon(DockIconHost host, std::span<const std::uint8_t> png);

inline constexpr std::size_t kDockIconStackBytes = 16 * 1024 * 1024;
inline constexpr std::size_t kDockIconGuardBytes = 16 * 1024;

struct DockIconThread {
    pthread_t thread{};
    bool started = false;
};

// Starts runDockIcon(host, png) on its own thread (16 MiB stack, 16 KiB guard). `png` must stay
// valid until the thread is joined. SystemResources when the thread cannot be made; start-up then
// goes on without an icon.
Status startDockIconThread(DockIconThread& thread, DockIconHost host,
                           std::span<const std::uint8_t> png = embeddedDockIconPng());

// Waits for the thread to end; nothing happens when it never started or was joined already.
void joinDockIconThread(DockIconThread& thread);

}  // namespace kelvo

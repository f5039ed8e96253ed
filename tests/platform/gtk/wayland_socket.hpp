#pragma once

// A Wayland display as a session has one: a socket named by WAYLAND_DISPLAY in XDG_RUNTIME_DIR. It
// takes connections and closes them at once (a client that tried it then gives up on it), and
// counts those that came from this process.

#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "support/temp_folder.hpp"

namespace kelvo::testing {

class WaylandSocket {
public:
    // Sets XDG_RUNTIME_DIR and WAYLAND_DISPLAY for the process.
    WaylandSocket() {
        const std::string path = folder_.path(kName);
        listener_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        listening_ = ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                     ::listen(listener_, 8) == 0;
        ::setenv("XDG_RUNTIME_DIR", folder_.path().c_str(), 1);
        ::setenv("WAYLAND_DISPLAY", kName, 1);
        acceptor_ = std::thread([this] { acceptLoop(); });
    }
    ~WaylandSocket() {
        stop_ = true;
        acceptor_.join();
        ::close(listener_);
    }
    WaylandSocket(const WaylandSocket&) = delete;
    WaylandSocket& operator=(const WaylandSocket&) = delete;

    [[nodiscard]] bool listening() const { return listening_; }
    // Connections this process made to the display.
    std::atomic<int> fromThisProcess{0};

private:
    static constexpr const char* kName = "wayland-kelvo-test";

    void acceptLoop() {
        while (!stop_) {
            pollfd ready{listener_, POLLIN, 0};
            if (::poll(&ready, 1, 20) <= 0) continue;
            const int client = ::accept(listener_, nullptr, nullptr);
            if (client < 0) continue;
            ucred peer{};
            socklen_t length = sizeof peer;
            if (::getsockopt(client, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 && peer.pid == ::getpid()) {
                fromThisProcess += 1;
            }
            ::close(client);
        }
    }

    TempFolder folder_;
    int listener_ = -1;
    bool listening_ = false;
    std::atomic<bool> stop_{false};
    std::thread acceptor_;
};

}  // namespace kelvo::testing

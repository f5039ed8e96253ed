#include "app/dock_icon_thread.hpp"

#include <new>

#include "app/app_icon.hpp"

namespace kelvo::embedded {
extern const std::uint8_t kVostraIconPng[];
extern const std::size_t kVostraIconPngSize;
}  // namespace kelvo::embedded

namespace kelvo {

namespace {

struct DockIconWork {
    DockIconHost host;
    std::span<const std::uint8_t> png;
};

void* dockIconMain(void* argument) {
    DockIconWork* work = static_cast<DockIconWork*>(argument);
    runDockIcon(work->host, work->png);
    delete work;
    return nullptr;
}

}  // namespace

std::span<const std::uint8_t> embeddedDockIconPng() { return {embedded::kVostraIconPng, embedded::kVostraIconPngSize}; }

void runDockIcon(DockIconHost host, std::span<const std::uint8_t> png) {
    if (host.setDockIconRgba == nullptr) return;
    auto icon = renderDockIcon(png);
    if (!icon) return;
    host.setDockIconRgba(host.host, icon->pixels.get(), icon->width, icon->height);
}

Status startDockIconThread(DockIconThread& thread, DockIconHost host, std::span<const std::uint8_t> png) {
    if (thread.started) return {};
    auto* work = new (std::nothrow) DockIconWork{host, png};
    if (work == nullptr) return fail(Error::SystemResources);
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) {
        delete work;
        return fail(Error::SystemResources);
    }
    bool configured = pthread_attr_setstacksize(&attributes, kDockIconStackBytes) == 0 &&
                      pthread_attr_setguardsize(&attributes, kDockIconGuardBytes) == 0 &&
                      pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_JOINABLE) == 0;
    bool created = configured && pthread_create(&thread.thread, &attributes, dockIconMain, work) == 0;
    pthread_attr_destroy(&attributes);
    if (!created) {
        delete work;
        return fail(Error::SystemResources);
    }
    thread.started = true;
    return {};
}

void joinDockIconThread(DockIconThread& thread) {
    if (!thread.started) return;
    pthread_join(thread.thread, nullptr);
    thread.started = false;
}

}  // namespace kelvo

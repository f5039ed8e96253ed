// Delivery to the runtime. The runtime is never entered while it is handling something: an event
// that arrives meanwhile (a window closed by a slot the runtime called, a timer that fired inside
// a dialog's nested loop) is copied into the queue and delivered, in order, as soon as the
// runtime returns. Frame requests that wait are merged into one.

#include <cstring>

#include "platform/macos/appkit_host_state.hpp"

namespace kelvo {

namespace {

// The string fields of a host event, which a queued copy must own.
constexpr KelvoHostString KelvoHostEvent::*kStringFields[] = {
    &KelvoHostEvent::windowLabel, &KelvoHostEvent::shortcutId, &KelvoHostEvent::shortcutKey,
    &KelvoHostEvent::command,     &KelvoHostEvent::viewLabel,  &KelvoHostEvent::keyText,
    &KelvoHostEvent::inputText,   &KelvoHostEvent::paths,      &KelvoHostEvent::actionText,
};

QueuedHostEvent copyHostEvent(const KelvoHostEvent& event) {
    QueuedHostEvent copy{event, {}};
    for (auto field : kStringFields) copy.texts.append((event.*field).view());
    return copy;
}

// Points the copy's string fields into its own text storage.
void pointIntoCopy(QueuedHostEvent& copy) {
    std::size_t at = 0;
    for (auto field : kStringFields) {
        KelvoHostString& text = copy.event.*field;
        text = text.length == 0 ? KelvoHostString{} : KelvoHostString{copy.texts.data() + at, text.length};
        at += static_cast<std::size_t>(text.length);
    }
}

bool isFrameRequest(const QueuedDelivery& delivery) {
    auto* queued = std::get_if<QueuedHostEvent>(&delivery);
    return queued != nullptr && queued->event.kind == static_cast<std::uint32_t>(HostEventKind::frame_requested);
}

void deliverNow(KelvoAppKitHost& host, QueuedDelivery& delivery) {
    host.delivery.depth += 1;
    if (auto* queued = std::get_if<QueuedHostEvent>(&delivery)) {
        pointIntoCopy(*queued);
        if (host.callback != nullptr) host.callback(host.context, &queued->event);
    } else if (auto* message = std::get_if<QueuedBridgeMessage>(&delivery)) {
        if (host.bridgeCallback != nullptr) {
            host.bridgeCallback(host.bridgeContext, message->windowId, message->label.data(), message->label.size(),
                                message->message.data(), message->message.size(), message->origin.data(),
                                message->origin.size());
        }
    } else if (auto* action = std::get_if<QueuedTrayAction>(&delivery)) {
        if (host.trayCallback != nullptr) host.trayCallback(host.trayContext, action->itemId);
    }
    host.delivery.depth -= 1;
}

void enqueue(KelvoAppKitHost& host, QueuedDelivery delivery) {
    if (isFrameRequest(delivery)) {
        for (const QueuedDelivery& waiting : host.delivery.queue) {
            if (isFrameRequest(waiting)) return;
        }
    }
    host.delivery.queue.push_back(std::move(delivery));
    if (host.delivery.depth == 0) deliverQueued(host);
}

}  // namespace

void deliverQueued(KelvoAppKitHost& host) {
    while (host.delivery.depth == 0 && !host.delivery.queue.empty()) {
        QueuedDelivery next = std::move(host.delivery.queue.front());
        host.delivery.queue.pop_front();
        deliverNow(host, next);
    }
}

void emitEvent(KelvoAppKitHost& host, const KelvoHostEvent& event) {
    if (host.callback == nullptr) return;
    if (host.delivery.depth == 0 && host.delivery.queue.empty()) {
        // The usual case needs no copy: the strings stay valid for the call.
        host.delivery.depth += 1;
        host.callback(host.context, &event);
        host.delivery.depth -= 1;
        deliverQueued(host);
        return;
    }
    enqueue(host, copyHostEvent(event));
}

void emitBridgeMessage(KelvoAppKitHost& host, std::uint64_t windowId, std::string_view label, std::string_view message,
                       std::string_view origin) {
    if (host.bridgeCallback == nullptr) return;
    enqueue(host, QueuedBridgeMessage{windowId, std::string(label), std::string(message), std::string(origin)});
}

void emitTrayAction(KelvoAppKitHost& host, std::uint32_t itemId) {
    if (host.trayCallback == nullptr) return;
    enqueue(host, QueuedTrayAction{itemId});
}

// A dialog counts as a delivery in progress: everything that arrives while it is open waits.
// When it was opened from inside the runtime's handling (the usual case), what waited follows
// as that handling returns; otherwise it follows on the next turn of the main queue.
void beginModal(KelvoAppKitHost& host) { host.delivery.depth += 1; }

void endModal(KelvoAppKitHost& host) {
    host.delivery.depth -= 1;
    if (host.delivery.depth == 0 && !host.delivery.queue.empty()) {
        postHostTask(host, [](KelvoAppKitHost& alive) { deliverQueued(alive); });
    }
}

}  // namespace kelvo

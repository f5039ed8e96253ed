#include "test_platform.hpp"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <type_traits>

#include "base/bounded_writer.hpp"
#include "base/number_text.hpp"
#include "base/stderr.hpp"

namespace kelvo {

namespace {

using S = PlatformSlot;
using Call = TestPlatform::Call;

TestPlatform* self(void* services) { return static_cast<TestPlatform*>(services); }

template <class T>
std::string number(T value) {
    char buffer[kMaxPlainFloatText];
    BoundedWriter out(buffer);
    writeFloatPlain(out, value);
    return std::string(out.text());
}

void put(Call& call, std::string_view key, std::string_view value) {
    if (!call.args.empty()) call.args.push_back(' ');
    call.args.append(key).append("=").append(value);
}

template <class T>
constexpr bool kIsOptional = false;
template <class T>
constexpr bool kIsOptional<std::optional<T>> = true;

// Writes one argument into the call: "key=value" into `args`; a window id also into `windowId`,
// a label into `label`, any other text and any bytes into `texts`; a list as its length, its
// items' labels into `texts`. Records have their own overloads below.
template <class T>
void describe(Call& call, std::string_view key, const T& value) {
    if constexpr (std::is_same_v<T, std::string_view>) {
        if (key == "label") {
            call.label = value;
        } else {
            call.texts.emplace_back(value);
        }
        put(call, key, value);
    } else if constexpr (std::is_same_v<T, std::span<const std::uint8_t>>) {
        // Bytes (a binary packet, clipboard data) are kept whole as a text, their length in `args`.
        call.texts.emplace_back(reinterpret_cast<const char*>(value.data()), value.size());
        put(call, key, std::to_string(value.size()));
    } else if constexpr (std::is_same_v<T, bool>) {
        put(call, key, value ? "1" : "0");
    } else if constexpr (std::is_enum_v<T>) {
        put(call, key, std::to_string(static_cast<std::uint32_t>(value)));
    } else if constexpr (std::is_floating_point_v<T>) {
        put(call, key, number(value));
    } else if constexpr (std::is_integral_v<T>) {
        if (key == "windowId") {
            call.windowId = value;
            key = "window";
        }
        put(call, key, std::to_string(value));
    } else if constexpr (std::is_same_v<T, RectF>) {
        put(call, key,
            number(value.x) + "," + number(value.y) + "," + number(value.width) + "," + number(value.height));
    } else if constexpr (std::is_same_v<T, SizeF>) {
        put(call, key, number(value.width) + "," + number(value.height));
    } else if constexpr (kIsOptional<T>) {
        if (value) describe(call, key, *value);
    } else if constexpr (requires {
                             value.size();
                             value.begin();
                         }) {
        std::string items = std::to_string(value.size());
        if constexpr (std::is_same_v<std::decay_t<decltype(*value.begin())>, std::string_view>) {
            items.clear();
            for (std::string_view item : value) items.append(items.empty() ? "" : ",").append(item);
        }
        for (const auto& item : value) {
            if constexpr (requires { std::string_view(item.label); }) call.texts.emplace_back(item.label);
        }
        put(call, key, items);
    }
    // Anything else (a foreign view pointer) is left out.
}

void fields(Call&) {}
template <class T, class... Rest>
void fields(Call& call, std::string_view key, const T& value, const Rest&... rest) {
    describe(call, key, value);
    fields(call, rest...);
}

void describe(Call& call, std::string_view, const WindowSource& s) {
    fields(call, "kind", s.kind, "text", s.text);
    if (s.assets) fields(call, "root", s.assets->assetRoot, "entry", s.assets->entry, "origin", s.assets->origin);
    if (s.assets) fields(call, "spa", s.assets->spaFallback);
}
void describe(Call& call, std::string_view, const WindowConfig& w) {
    call.windowId = w.id;
    fields(call, "id", w.id, "label", w.label, "title", w.title, "frame", w.frame, "min", w.minContentSize, "resizable",
           w.resizable, "restoreFrame", w.restoreFrame, "flag", w.passThroughFlag, "titlebar", w.titlebarStyle, "show",
           w.showPolicy);
}
void describe(Call& call, std::string_view, const ViewOptions& o) {
    fields(call, "windowId", o.windowId, "label", o.label);
    put(call, "kind", viewKindName(o.kind));
    fields(call, "parent", o.parent, "role", o.role, "accessibilityLabel", o.accessibilityLabel, "text", o.text,
           "command", o.command, "url", o.url, "frame", o.frame, "layer", o.layer, "visible", o.visible, "enabled",
           o.enabled, "transparent", o.transparent, "bridge", o.bridge);
}
void describe(Call& call, std::string_view, const ViewUpdate& u) {
    fields(call, "role", u.role, "accessibilityLabel", u.accessibilityLabel, "text", u.text, "command", u.command,
           "url", u.url, "frame", u.frame, "layer", u.layer, "visible", u.visible, "enabled", u.enabled);
}
void describe(Call& call, std::string_view, const WebViewOptions& o) {
    fields(call, "windowId", o.windowId, "label", o.label, "url", o.url, "layer", o.layer, "transparent", o.transparent,
           "bridge", o.bridge, "frame", o.frame);
}
void describe(Call& call, std::string_view, const OpenDialogOptions& o) {
    fields(call, "title", o.title, "defaultPath", o.defaultPath, "filters", o.filters, "directories",
           o.allowDirectories, "multiple", o.allowMultiple);
}
void describe(Call& call, std::string_view, const SaveDialogOptions& o) {
    fields(call, "title", o.title, "defaultPath", o.defaultPath, "defaultName", o.defaultName, "filters", o.filters);
}
void describe(Call& call, std::string_view, const MessageDialogOptions& o) {
    fields(call, "title", o.title, "message", o.message, "informative", o.informativeText, "primary", o.primaryButton,
           "secondary", o.secondaryButton, "tertiary", o.tertiaryButton, "style", o.style);
}
void describe(Call& call, std::string_view, const TrayOptions& o) {
    fields(call, "icon", o.iconPath, "title", o.title, "tooltip", o.tooltip, "items", o.items);
}
void describe(Call& call, std::string_view, const SecurityPolicy& p) {
    fields(call, "granted", p.granted, "origins", p.origins, "links", p.externalLinks, "action", p.externalLinkAction);
}
void describe(Call& call, std::string_view, const GpuSurfacePixels& p) {
    put(call, "size", std::to_string(p.image.width) + "x" + std::to_string(p.image.height));
    fields(call, "bytes", p.image.pixels.size(), "scale", p.scale, "dirty", p.dirty);
}
void describe(Call& call, std::string_view, const GpuSurfacePacketInfo& i) {
    fields(call, "size", SizeF{i.width, i.height}, "commands", i.commandCount);
}
void describe(Call& call, std::string_view, const SurfaceImage& i) {
    put(call, "size", std::to_string(i.width) + "x" + std::to_string(i.height));
}
// Each region as "id:x,y,w,h:content w,h:offset:apply:elastic", separated by ";".
void describe(Call& call, std::string_view key, std::span<const ScrollDriverRegion> regions) {
    std::string items;
    for (const ScrollDriverRegion& r : regions) {
        items += (items.empty() ? "" : ";") + std::to_string(r.widgetId) + ":" + number(r.frame.x) + "," +
                 number(r.frame.y) + "," + number(r.frame.width) + "," + number(r.frame.height) + ":" +
                 number(r.contentWidth) + "," + number(r.contentHeight) + ":" + number(r.offsetY) + ":" +
                 (r.applyOffset ? "1" : "0") + ":" + (r.verticalElasticity ? "1" : "0");
    }
    put(call, key, items);
}
void describe(Call& call, std::string_view, const ContextMenuRequest& m) {
    fields(call, "token", m.token, "at", SizeF{m.x, m.y}, "items", m.items);
}

// The parameter names of every slot, from the slot list ("windowId", "label", ...).
constexpr const char* kSlotParameters[] = {
#define KELVO_TEST_SLOT_PARAMETERS(index, name, R, ...) #__VA_ARGS__,
    KELVO_PLATFORM_SLOTS(KELVO_TEST_SLOT_PARAMETERS)
#undef KELVO_TEST_SLOT_PARAMETERS
};

std::vector<std::string_view> parameterNames(PlatformSlot slot) {
    std::string_view text = kSlotParameters[static_cast<std::size_t>(slot)];
    std::vector<std::string_view> names;
    int depth = 0;
    std::size_t nameStart = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        char c = i < text.size() ? text[i] : ',';
        if (c == '<') ++depth;
        if (c == '>') --depth;
        if (c == ' ' || c == '&' || c == '*') nameStart = i + 1;
        if (c == ',' && depth == 0) {
            if (i > nameStart) names.push_back(text.substr(nameStart, i - nameStart));
            nameStart = i + 1;
        }
    }
    return names;
}

Result<std::size_t> copyOut(std::string_view data, std::span<char> out) {
    if (data.size() > out.size()) return fail(Error::NoSpaceLeft);
    if (!data.empty()) std::memcpy(out.data(), data.data(), data.size());
    return data.size();
}

// What the slots that return data answer; every other slot succeeds with an empty value.
template <PlatformSlot>
struct Tag {};

Result<std::size_t> answer(Tag<S::readClipboard>, TestPlatform& t, std::span<char> out) {
    return copyOut(t.answers().clipboardText, out);
}
Status answer(Tag<S::writeClipboard>, TestPlatform& t, std::string_view text) {
    t.answers().clipboardText = std::string(text);
    return {};
}
Result<std::size_t> answer(Tag<S::readClipboardData>, TestPlatform& t, std::string_view mime,
                           std::span<std::uint8_t> out) {
    auto found = t.answers().clipboardData.find(std::string(mime));
    if (found == t.answers().clipboardData.end()) return std::size_t{0};
    return copyOut(found->second, {reinterpret_cast<char*>(out.data()), out.size()});
}
Status answer(Tag<S::writeClipboardData>, TestPlatform& t, std::string_view mime, std::span<const std::uint8_t> data) {
    t.answers().clipboardData[std::string(mime)] = std::string(reinterpret_cast<const char*>(data.data()), data.size());
    return {};
}
Result<WindowInfo> answer(Tag<S::createWindow>, TestPlatform& t, const WindowConfig& w) {
    return WindowInfo{w.id, w.label, w.title, w.frame, t.answers().windowScale, true, t.answers().windowsOpenFocused};
}
WindowChrome answer(Tag<S::windowChrome>, TestPlatform& t, std::uint64_t) { return t.answers().chrome; }
Result<OpenDialogResult> answer(Tag<S::showOpenDialog>, TestPlatform& t, const OpenDialogOptions&,
                                std::span<char> out) {
    std::string text;
    std::size_t count = 0;
    for (const std::string& path : t.answers().openDialogPaths) {
        if (path.find('\n') != std::string::npos) continue;  // as every backend does
        text.append(count++ == 0 ? "" : "\n").append(path);
    }
    std::size_t length = TRY(copyOut(text, out));
    return OpenDialogResult{count, length};
}
Result<std::optional<std::size_t>> answer(Tag<S::showSaveDialog>, TestPlatform& t, const SaveDialogOptions&,
                                          std::span<char> out) {
    if (!t.answers().saveDialogPath) return std::optional<std::size_t>{};
    return std::optional<std::size_t>{TRY(copyOut(*t.answers().saveDialogPath, out))};
}
Result<std::uint32_t> answer(Tag<S::showMessageDialog>, TestPlatform& t, const MessageDialogOptions&) {
    return t.answers().messageDialogButton;
}
Status answer(Tag<S::setCredential>, TestPlatform& t, std::string_view service, std::string_view account,
              std::string_view secret) {
    t.answers().credentials[{std::string(service), std::string(account)}] = std::string(secret);
    return {};
}
Result<std::size_t> answer(Tag<S::getCredential>, TestPlatform& t, std::string_view service, std::string_view account,
                           std::span<char> out) {
    auto found = t.answers().credentials.find({std::string(service), std::string(account)});
    if (found == t.answers().credentials.end() || found->second.empty()) return fail(Error::CredentialNotFound);
    return copyOut(found->second, out);
}
Status answer(Tag<S::deleteCredential>, TestPlatform& t, std::string_view service, std::string_view account) {
    if (t.answers().credentials.erase({std::string(service), std::string(account)}) == 0) {
        return fail(Error::CredentialNotFound);
    }
    return {};
}
Result<bool> answer(Tag<S::audioLoadUrl>, TestPlatform& t, std::string_view, std::string_view, std::uint64_t) {
    return t.answers().audioStreams;
}
Status answer(Tag<S::wake>, TestPlatform& t) {
    t.enqueue(WakeEvent{});
    return {};
}
Status answer(Tag<S::requestFrame>, TestPlatform& t) {
    t.enqueue(FrameRequestedEvent{});
    return {};
}
float answer(Tag<S::measureText>, TestPlatform& t, std::uint64_t, float size, std::string_view text) {
    return static_cast<float>(text.size()) * size * t.answers().advancePerPoint;
}
bool answer(Tag<S::measureTextAdvances>, TestPlatform& t, std::uint64_t, float size, std::string_view text,
            std::span<float> advances) {
    if (text.empty()) return true;
    if (advances.size() < text.size()) return false;
    // Each character advances by its byte count; the advance sits on its first byte.
    std::size_t lead = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        advances[i] = 0;
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) lead = i;
        advances[lead] += size * t.answers().advancePerPoint;
    }
    return true;
}
Result<DecodedImage> answer(Tag<S::decodeImage>, TestPlatform& t, std::span<const std::uint8_t>,
                            std::span<std::uint8_t> pixels) {
    const auto& image = t.answers().decodedImage;
    if (!image) return fail(Error::ImageDecodeFailed);
    if (image->pixels.size() > pixels.size()) return fail(Error::ImageTooLarge);
    std::copy(image->pixels.begin(), image->pixels.end(), pixels.begin());
    return DecodedImage{image->width, image->height, image->pixels.size()};
}

// One slot operation: records the call, then answers, or fails as told (measureText answers -1
// and the other plain results their empty value instead of an error).
template <PlatformSlot Slot, class Fn>
struct Stub;
template <PlatformSlot Slot, class R, class... A>
struct Stub<Slot, R (*)(void*, A...)> {
    static R call(void* services, A... args) {
        TestPlatform& test = *self(services);
        Call call;
        call.slot = Slot;
        std::vector<std::string_view> names = parameterNames(Slot);
        std::size_t i = 0;
        (describe(call, names[i++], args), ...);
        if (Slot == S::loadWebView || Slot == S::completeBridge) call.windowId = 1;  // the main window
        if (auto forced = test.record(Slot, call.windowId, call.label, std::move(call.texts), std::move(call.args))) {
            if constexpr (std::is_constructible_v<R, decltype(fail(*forced))>) {
                return fail(*forced);
            } else if constexpr (std::is_same_v<R, float>) {
                return -1.0f;
            } else {
                return R{};
            }
        }
        if constexpr (requires { answer(Tag<Slot>{}, test, args...); }) {
            return answer(Tag<Slot>{}, test, args...);
        } else {
            return R{};
        }
    }
};

PlatformSlots makeSlots() {
    PlatformSlots slots;
#define KELVO_TEST_SLOT(index, name, R, ...) slots.name = &Stub<S::name, decltype(PlatformSlots::name)>::call;
    KELVO_PLATFORM_SLOTS(KELVO_TEST_SLOT)
#undef KELVO_TEST_SLOT
    return slots;
}

void copySlot(PlatformSlots& to, const PlatformSlots& from, PlatformSlot slot) {
    switch (slot) {
#define KELVO_TEST_COPY_SLOT(index, name, R, ...) \
    case PlatformSlot::name:                      \
        to.name = from.name;                      \
        break;
        KELVO_PLATFORM_SLOTS(KELVO_TEST_COPY_SLOT)
#undef KELVO_TEST_COPY_SLOT
    }
}

}  // namespace

TestPlatform::TestPlatform() : allSlots_(makeSlots()) {
    platform_.context = this;
    platform_.name = "test";
    platform_.run = &TestPlatform::runLoop;
    platform_.services = this;
    platform_.slots = allSlots_;
}

void TestPlatform::fillSlot(PlatformSlot slot) { copySlot(platform_.slots, allSlots_, slot); }
void TestPlatform::emptySlot(PlatformSlot slot) { copySlot(platform_.slots, PlatformSlots{}, slot); }
void TestPlatform::fillAllSlots() { platform_.slots = allSlots_; }
void TestPlatform::emptyAllSlots() { platform_.slots = PlatformSlots{}; }

void TestPlatform::failSlot(PlatformSlot slot, Error error, std::uint32_t times) {
    locked([&] { failures_[static_cast<std::size_t>(slot)] = {error, times}; });
}
void TestPlatform::clearFailures() {
    locked([&] { failures_ = {}; });
}
void TestPlatform::onCall(PlatformSlot slot, std::function<void(const Call&)> hook) {
    locked([&] { hooks_[static_cast<std::size_t>(slot)] = std::move(hook); });
}

void TestPlatform::answerFeatures(std::array<bool, kPlatformFeatureCount> answers) {
    featureAnswers_ = answers;
    platform_.supportsFeature = &TestPlatform::answerFeature;
}
void TestPlatform::clearFeatureAnswers() { platform_.supportsFeature = nullptr; }
bool TestPlatform::answerFeature(void* context, PlatformFeature feature) {
    auto index = static_cast<std::size_t>(feature);
    return index < kPlatformFeatureCount && static_cast<TestPlatform*>(context)->featureAnswers_[index];
}

// Changes of the queue and the run flags wake a waiting `run`.
void TestPlatform::script(const PlatformEvent& event) { script({event}); }
void TestPlatform::script(std::initializer_list<PlatformEvent> events) {
    locked([&] {
        for (const PlatformEvent& event : events) queue_.push_back(retain(event));
    });
    wakeUp_.notify_all();
}
void TestPlatform::enqueue(PlatformEvent event) { script(event); }
void TestPlatform::keepRunningWhenIdle(bool wait) {
    locked([&] { waitWhenIdle_ = wait; });
    wakeUp_.notify_all();
}
void TestPlatform::quit() {
    locked([&] { quit_ = true; });
    wakeUp_.notify_all();
}
void TestPlatform::stopAfterShutdown(bool stop) {
    locked([&] { stopAfterShutdown_ = stop; });
}

std::size_t TestPlatform::pendingEvents() const {
    return locked([&] { return queue_.size(); });
}
std::vector<PlatformEventKind> TestPlatform::deliveredKinds() const {
    return locked([&] { return delivered_; });
}
std::vector<TestPlatform::Call> TestPlatform::calls() const {
    return locked([&] { return calls_; });
}
std::vector<TestPlatform::Call> TestPlatform::callsTo(PlatformSlot slot) const {
    std::vector<Call> out;
    for (const Call& call : calls()) {
        if (call.slot == slot) out.push_back(call);
    }
    return out;
}
std::size_t TestPlatform::callCount(PlatformSlot slot) const { return callsTo(slot).size(); }
std::optional<TestPlatform::Call> TestPlatform::lastCall(PlatformSlot slot) const {
    std::vector<Call> found = callsTo(slot);
    if (found.empty()) return std::nullopt;
    return found.back();
}
std::vector<std::string> TestPlatform::callNames() const {
    std::vector<std::string> names;
    for (const Call& call : calls()) names.emplace_back(platformSlotName(call.slot));
    return names;
}
void TestPlatform::clearCalls() {
    locked([&] { calls_.clear(); });
}

std::optional<Error> TestPlatform::record(PlatformSlot slot, std::uint64_t windowId, std::string_view label,
                                          std::vector<std::string> texts, std::string args) {
    Call call{slot, windowId, std::string(label), std::move(texts), std::move(args)};
    std::function<void(const Call&)> hook;
    std::optional<Error> forced;
    {
        std::lock_guard guard(mutex_);
        calls_.push_back(call);
        Failure& failure = failures_[static_cast<std::size_t>(slot)];
        if (failure.remaining > 0) {
            forced = failure.error;
            if (failure.remaining != kAlways) --failure.remaining;
        }
        hook = hooks_[static_cast<std::size_t>(slot)];
    }
    if (hook) hook(call);
    return forced;
}

// Copies the event's texts and path list into storage that lives as long as the platform.
PlatformEvent TestPlatform::retain(const PlatformEvent& event) {
    auto keep = [this](std::string_view& text) { text = texts_.emplace_back(text); };
    return std::visit(
        [&](auto payload) -> PlatformEvent {
            if constexpr (requires { payload.label; }) keep(payload.label);
            if constexpr (requires { payload.title; }) keep(payload.title);
            if constexpr (requires { payload.message; }) keep(payload.message);
            if constexpr (requires { payload.origin; }) keep(payload.origin);
            if constexpr (requires { payload.webViewLabel; }) keep(payload.webViewLabel);
            if constexpr (requires { payload.viewLabel; }) keep(payload.viewLabel);
            if constexpr (requires { payload.command; }) keep(payload.command);
            if constexpr (requires { payload.key; }) keep(payload.key);
            if constexpr (requires { payload.text; }) keep(payload.text);
            if constexpr (std::is_same_v<decltype(payload), ShortcutEvent>) keep(payload.id);
            if constexpr (requires { payload.paths; }) {
                auto& list = lists_.emplace_back();
                for (std::string_view path : payload.paths) list.push_back(texts_.emplace_back(path));
                payload.paths = list;
            }
            return payload;
        },
        event);
}

Status TestPlatform::runLoop(void* context, PlatformEventHandler handler, void* handlerContext) {
    auto* self = static_cast<TestPlatform*>(context);
    for (;;) {
        PlatformEvent event;
        bool stopAfter = false;
        {
            std::unique_lock lock(self->mutex_);
            self->wakeUp_.wait(lock, [self] { return self->quit_ || !self->queue_.empty() || !self->waitWhenIdle_; });
            if (self->quit_ || self->queue_.empty()) {
                self->quit_ = false;
                return {};
            }
            event = self->queue_.front();
            self->queue_.pop_front();
            stopAfter = self->stopAfterShutdown_ && std::holds_alternative<AppShutdownEvent>(event);
        }
        Status status = handler(handlerContext, event);
        {
            std::lock_guard guard(self->mutex_);
            self->delivered_.push_back(platformEventKind(event));
        }
        if (!status) {
            writeStderr(std::string("platform callback failed: ") + std::string(errorName(status.error())) +
                        " (event " + std::string(platformEventName(event)) + ")\n");
            return fail(Error::CallbackFailed);
        }
        if (stopAfter) return {};
    }
}

}  // namespace kelvo

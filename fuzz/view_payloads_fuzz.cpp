// Reads arbitrary payloads with the view and web view payload readers and writes what they read
// as view JSON. The first input byte is the caller's window id; the payload is the rest.
// Whatever a reader accepts must be finite, in range and inside the payload or the scratch area,
// and its JSON must be strict when the payload is valid UTF-8 (as every page's text is).

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "base/utf8.hpp"
#include "bridge/strict_json.hpp"
#include "runtime/bridge/view_json.hpp"
#include "runtime/bridge/view_payloads.hpp"

namespace {

using namespace kelvo;

void check(bool condition) {
    if (!condition) std::abort();
}

struct Areas {
    std::string_view payload;
    std::span<const char> scratch;

    // A read text lies in the payload or the scratch area; every byte is touched so that
    // AddressSanitizer sees a span that leaves its buffer.
    void checkText(std::string_view text) const {
        const bool inPayload =
            text.data() >= payload.data() && text.data() + text.size() <= payload.data() + payload.size();
        const bool inScratch =
            text.data() >= scratch.data() && text.data() + text.size() <= scratch.data() + scratch.size();
        check(text.empty() || inPayload || inScratch);
        volatile unsigned sum = 0;
        for (char c : text) sum = sum + static_cast<unsigned char>(c);
    }
};

bool isPlacedFrame(const RectF& frame) {
    return std::isfinite(frame.x) && std::isfinite(frame.y) && std::isfinite(frame.width) &&
           std::isfinite(frame.height) && frame.x >= 0 && frame.y >= 0 && frame.width >= 0 && frame.height >= 0;
}

void checkJson(const ViewInfo& view, std::string_view payload) {
    static std::array<char, 65536> json;
    BoundedWriter out(json);
    check(writeViewJsonToWriter(view, out).has_value());
    check(!isValidUtf8(payload) || isStrictJson(out.text()));
}

void checkCreate(const Areas& areas, std::uint64_t caller, PayloadScratch& scratch) {
    Result<ViewOptions> options = viewCreateOptionsFromJson(areas.payload, caller, scratch);
    if (!options) return;
    check(options->windowId == caller && isValidViewKind(options->kind) && isPlacedFrame(options->frame));
    check(!hasControlByte(options->label) && (!options->parent || !hasControlByte(*options->parent)));
    for (std::string_view text : {options->label, options->role, options->accessibilityLabel, options->text,
                                  options->command, options->url, options->parent.value_or("")}) {
        areas.checkText(text);
    }
    ViewInfo view;
    view.label = options->label;
    view.kind = options->kind;
    view.parent = options->parent;
    view.role = options->role;
    view.accessibilityLabel = options->accessibilityLabel;
    view.text = options->text;
    view.command = options->command;
    view.url = options->url;
    view.frame = options->frame;
    view.layer = options->layer;
    view.gpu = options->gpu;
    checkJson(view, areas.payload);
}

void checkUpdate(const Areas& areas, std::uint64_t caller, PayloadScratch& scratch) {
    Result<ViewUpdateRequest> request = viewUpdateFromJson(areas.payload, caller, scratch);
    if (!request) return;
    areas.checkText(request->label);
    const ViewUpdate& update = request->update;
    if (update.frame) check(isPlacedFrame(*update.frame));
    for (const auto& text : {update.role, update.accessibilityLabel, update.text, update.command, update.url}) {
        if (text) areas.checkText(*text);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint64_t caller = data[0];
    std::string_view payload(reinterpret_cast<const char*>(data + 1), size - 1);
    static std::array<char, 8192> area;
    Areas areas{payload, area};

    for (bool required : {false, true}) {
        Result<std::optional<RectF>> frame = viewFrameFromJson(payload, required);
        if (frame && *frame) check(isPlacedFrame(**frame));
        if (frame && required) check(frame->has_value());
    }
    if (Result<RectF> frame = webViewFrameFromJson(payload)) {
        check(isPlacedFrame(*frame) && frame->width > 0 && frame->height > 0);
    }
    if (std::optional<ViewKind> kind = viewKindFromPayloadName(payload)) check(isValidViewKind(*kind));
    Status windowId = checkPayloadWindowId(payload, caller, Error::InvalidViewWindowId, Error::CrossWindowViewDenied);
    check(windowId || windowId.error() == Error::InvalidViewWindowId ||
          windowId.error() == Error::CrossWindowViewDenied);

    PayloadScratch scratch{area};
    checkCreate(areas, caller, scratch);
    check(scratch.used <= area.size());
    scratch.used = 0;
    checkUpdate(areas, caller, scratch);
    check(scratch.used <= area.size());
    return 0;
}

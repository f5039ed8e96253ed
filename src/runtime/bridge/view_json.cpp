#include "runtime/bridge/view_json.hpp"

#include <cmath>

#include "base/json_string.hpp"
#include "base/number_text.hpp"
#include "runtime/bridge/view_value_names.hpp"

namespace kelvo {
namespace {

// Writes the members of one object. Keys are the writers' own ASCII names and need no escaping.
class ObjectWriter {
public:
    explicit ObjectWriter(BoundedWriter& out) : out_(out) { out_.put('{'); }

    void string(std::string_view key, std::string_view value) {
        name(key);
        writeJsonString(out_, value);
    }
    void optionalString(std::string_view key, std::optional<std::string_view> value) {
        if (value) {
            string(key, *value);
        } else {
            null(key);
        }
    }
    void null(std::string_view key) {
        name(key);
        out_.write("null");
    }
    void boolean(std::string_view key, bool value) {
        name(key);
        out_.write(value ? "true" : "false");
    }
    void unsignedNumber(std::string_view key, std::uint64_t value) {
        name(key);
        out_.writeUnsigned(value);
    }
    void signedNumber(std::string_view key, std::int64_t value) {
        name(key);
        out_.writeSigned(value);
    }
    template <class Float>
    void floatNumber(std::string_view key, Float value) {
        name(key);
        if (!std::isfinite(value)) {
            nonFinite_ = true;
            return;
        }
        writeFloatPlain(out_, value);
    }
    void rect(const RectF& frame) {
        floatNumber("x", frame.x);
        floatNumber("y", frame.y);
        floatNumber("width", frame.width);
        floatNumber("height", frame.height);
    }
    // Starts a nested object as the value of `key`; its members follow, then `endNested`.
    void beginNested(std::string_view key) {
        name(key);
        out_.put('{');
        first_ = true;
    }
    void endNested() {
        out_.put('}');
        first_ = false;
    }

    Status finish() {
        out_.put('}');
        if (out_.overflowed() || nonFinite_) return fail(Error::WriteFailed);
        return {};
    }

private:
    void name(std::string_view key) {
        if (!first_) out_.put(',');
        first_ = false;
        out_.put('"');
        out_.write(key);
        out_.write("\":");
    }

    BoundedWriter& out_;
    bool first_ = true;
    bool nonFinite_ = false;
};

void writeCanvasFrame(ObjectWriter& object, const CanvasFrameInfo& frame) {
    object.boolean("canvasFrameRequiresRender", frame.requiresRender);
    object.boolean("canvasFrameFullRepaint", frame.fullRepaint);
#define KELVO_CANVAS_FRAME_COUNTER_MEMBER(field, key) object.unsignedNumber("canvasFrame" #key, frame.field);
    KELVO_CANVAS_FRAME_COUNTERS(KELVO_CANVAS_FRAME_COUNTER_MEMBER)
#undef KELVO_CANVAS_FRAME_COUNTER_MEMBER
    object.boolean("canvasFrameGpuPacketRepresentable", frame.gpuPacketRepresentable);
    object.unsignedNumber("canvasFrameChangeCount", frame.changeCount);
    object.unsignedNumber("canvasFrameBudgetExceededCount", frame.budgetExceededCount);
    object.boolean("canvasFrameBudgetOk", frame.budgetOk);
    if (frame.dirtyBounds) {
        object.beginNested("canvasFrameDirtyBounds");
        object.rect(*frame.dirtyBounds);
        object.endNested();
    } else {
        object.null("canvasFrameDirtyBounds");
    }
    object.unsignedNumber("canvasFrameProfileWorkUnits", frame.profileWorkUnits);
    object.string("canvasFrameProfileRisk", enumValueName(kCanvasFrameRiskNames, frame.profileRisk));
    object.floatNumber("canvasFrameProfileSurfaceArea", frame.profileSurfaceArea);
    object.floatNumber("canvasFrameProfileDirtyArea", frame.profileDirtyArea);
    object.floatNumber("canvasFrameProfileDirtyRatio", frame.profileDirtyRatio);
}

}  // namespace

Status writeWindowJsonToWriter(const WindowInfo& window, BoundedWriter& out) {
    ObjectWriter object(out);
    object.unsignedNumber("id", window.id);
    object.string("label", window.label);
    object.string("title", window.title);
    object.boolean("open", window.open);
    object.boolean("focused", window.focused);
    object.rect(window.frame);
    object.floatNumber("scale", window.scale);
    return object.finish();
}

Status writeWebViewJsonToWriter(const WebViewInfo& webView, BoundedWriter& out) {
    ObjectWriter object(out);
    object.string("label", webView.label);
    object.unsignedNumber("windowId", webView.windowId);
    object.string("url", webView.url);
    object.rect(webView.frame);
    object.signedNumber("layer", webView.layer);
    object.floatNumber("zoom", webView.zoom);
    object.boolean("transparent", webView.transparent);
    object.boolean("bridge", webView.bridge);
    object.boolean("focused", webView.focused);
    object.boolean("open", webView.open);
    return object.finish();
}

Status writeViewJsonToWriter(const ViewInfo& view, BoundedWriter& out) {
    const CanvasViewInfo& canvas = view.canvas;
    ObjectWriter object(out);
    object.unsignedNumber("id", view.id);
    object.string("label", view.label);
    object.unsignedNumber("windowId", view.windowId);
    object.string("kind", viewKindName(view.kind));
    object.optionalString("parent", view.parent);
    object.string("role", view.role);
    object.string("accessibilityLabel", view.accessibilityLabel);
    object.string("text", view.text);
    object.string("command", view.command);
    object.string("url", view.url);
    object.rect(view.frame);
    object.signedNumber("layer", view.layer);
    object.boolean("visible", view.visible);
    object.boolean("enabled", view.enabled);
    object.boolean("transparent", view.transparent);
    object.boolean("bridge", view.bridge);
    object.floatNumber("gpuWidth", view.gpuWidth);
    object.floatNumber("gpuHeight", view.gpuHeight);
    object.floatNumber("gpuScale", view.gpuScale);
    object.unsignedNumber("gpuFrame", canvas.gpuFrameCount);
    object.unsignedNumber("gpuTimestampNs", canvas.gpuTimestampNs);
    object.unsignedNumber("gpuFrameIntervalNs", canvas.gpuFrameIntervalNs);
    object.unsignedNumber("gpuInputTimestampNs", canvas.gpuInputTimestampNs);
    object.unsignedNumber("gpuInputLatencyNs", canvas.gpuInputLatencyNs);
    object.unsignedNumber("gpuInputLatencyBudgetNs", canvas.gpuInputLatencyBudgetNs);
    object.unsignedNumber("gpuInputLatencyBudgetExceededCount", canvas.gpuInputLatencyBudgetExceededCount);
    object.boolean("gpuInputLatencyBudgetOk", canvas.gpuInputLatencyBudgetOk);
    object.unsignedNumber("gpuFirstFrameLatencyNs", canvas.gpuFirstFrameLatencyNs);
    object.unsignedNumber("gpuFirstFrameLatencyBudgetNs", canvas.gpuFirstFrameLatencyBudgetNs);
    object.unsignedNumber("gpuFirstFrameLatencyBudgetExceededCount", canvas.gpuFirstFrameLatencyBudgetExceededCount);
    object.boolean("gpuFirstFrameLatencyBudgetOk", canvas.gpuFirstFrameLatencyBudgetOk);
    object.boolean("gpuNonblank", canvas.gpuNonblank);
    object.unsignedNumber("gpuSampleColor", canvas.gpuSampleColor);
    object.string("gpuBackend", enumValueName(kGpuBackendNames, view.gpu.backend));
    object.string("gpuPixelFormat", enumValueName(kGpuPixelFormatNames, view.gpu.pixelFormat));
    object.string("gpuPresentMode", enumValueName(kGpuPresentModeNames, view.gpu.presentMode));
    object.string("gpuAlphaMode", enumValueName(kGpuAlphaModeNames, view.gpu.alphaMode));
    object.string("gpuColorSpace", enumValueName(kGpuColorSpaceNames, view.gpu.colorSpace));
    object.boolean("gpuVsync", view.gpu.vsync);
    object.string("gpuStatus", enumValueName(kGpuStatusNames, view.gpuStatus));
    object.unsignedNumber("canvasRevision", canvas.canvasRevision);
    object.unsignedNumber("canvasCommandCount", canvas.canvasCommandCount);
    writeCanvasFrame(object, canvas.frame);
    object.unsignedNumber("widgetRevision", canvas.widgetRevision);
    object.unsignedNumber("widgetNodeCount", canvas.widgetNodeCount);
    object.unsignedNumber("widgetSemanticsCount", canvas.semanticsCount);
    object.string("cursor", enumValueName(kCursorNames, canvas.cursor));
    object.boolean("focused", view.focused);
    object.boolean("open", view.open);
    return object.finish();
}

}  // namespace kelvo

#include "lab_scene.hpp"

#include "lab_image.hpp"
#include "runtime/canvas/canvas_images.hpp"
#include "runtime/canvas/view_widget_tree.hpp"
#include "runtime/runtime.hpp"
#include "runtime/views/view_create.hpp"
#include "runtime/windows/window_table.hpp"

namespace kelvo {

Status buildLabScene(Runtime& runtime, const WidgetTreeStorage& tree) {
    const Rect root = normalizeRect(tree.nodes[0].rect);
    const RectF frame{0, 0, root.x + root.width, root.y + root.height};
    static constexpr LabImagePixels kImage = labImagePixels();
    TRY(registerCanvasImage(runtime, kLabImageId, kLabImageSide, kLabImageSide, kImage));
    const std::size_t window = TRY(reserveWindow(runtime, kMainWindowId, "main", kLabWindowTitle, std::nullopt, false));
    runtime.windows[window].frame = frame;
    runtime.windows[window].focused = true;
    ViewOptions canvas{
        .windowId = kMainWindowId, .label = kLabCanvasLabel, .frame = frame, .kind = ViewKind::gpu_surface};
    canvas.gpu = GpuSurfaceOptions{GpuBackend::software, GpuPixelFormat::bgra8_unorm, GpuPresentMode::timer,
                                   GpuAlphaMode::opaque, GpuColorSpace::srgb,         true};
    TRY(createView(runtime, canvas));
    return installCanvasWidgetTree(runtime, runtime.views.size() - 1, tree.tree(), tree.tokens);
}

}  // namespace kelvo

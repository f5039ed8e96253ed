#include "widgets/widget_render_context.hpp"

#include "base/wyhash.hpp"
#include "widgets/thread_scratch.hpp"

namespace kelvo {

std::uint64_t widgetHashedCommandId(std::uint64_t seed, std::initializer_list<std::uint64_t> words) {
    Wyhash hash(seed);
    for (std::uint64_t word : words) hash.updateU64(word);
    const std::uint64_t key = hash.digest();
    return key < 2 ? 1 : key;
}

WidgetRenderScratch& widgetRenderScratch() { return perThreadCanvasScratch<WidgetRenderScratch>(); }

Result<std::span<PathElement>> takeWidgetPathElements(std::size_t count) {
    WidgetRenderScratch& scratch = widgetRenderScratch();
    if (count > scratch.elements.size() - scratch.element_count) return fail(Error::ChartPathElementListFull);
    std::span<PathElement> taken(scratch.elements.data() + scratch.element_count, count);
    scratch.element_count += count;
    return taken;
}

}  // namespace kelvo

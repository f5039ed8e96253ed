// Text layout plans of a frame: every draw_text of the display list (drawn or not) is laid out into
// lines, and the laid-out runs are kept in the text layout cache between frames.

#include "base/bounded_writer.hpp"
#include "base/stderr.hpp"
#include "render/frame_plan_steps.hpp"
#include "render/frame_text_keys.hpp"
#include "render/retained_cache.hpp"
#include "text/text_layout_cache.hpp"
#include "text/text_run_plan.hpp"
#include "widgets/draw_text_bounds.hpp"

namespace kelvo {

namespace {

constexpr std::string_view kFrameScope = "vexa_canvas_frame";

// "<before><limit><middle><limit>" as one warning line under the frame scope.
void warnCapacity(std::string_view before, std::size_t limit, std::string_view middle) {
    char buffer[512];
    BoundedWriter out(buffer);
    out.write(before);
    out.writeUnsigned(limit);
    out.write(middle);
    out.writeUnsigned(limit);
    writeStderrWarning(kFrameScope, out.text());
}

void warnPlanCapacity(std::size_t limit) {
    warnCapacity("text layout plan capacity exceeded: the per-frame budget is ", limit,
                 " text runs (canvas_limits.max_canvas_text_layouts_per_view) - reduce visible draw_text commands or "
                 "virtualize long text; snapshots report headroom as text_layout_plans=N/");
}

}  // namespace

void warnTextLayoutLineCapacity(std::size_t limit) {
    warnCapacity("text layout line capacity exceeded: the per-frame budget is ", limit,
                 " wrapped lines across all text runs (canvas_limits.max_canvas_text_layout_lines_per_view) - clip or "
                 "window long wrapped text; snapshots report headroom as text_layout_lines=N/");
}

namespace {

TextLayoutKey layoutKey(const TextRunPlan& run) {
    TextLayoutKey key;
    key.words[0] = run.fingerprint;
    key.words[1] = run.font;
    key.words[2] = run.text_length;
    key.words[3] = run.glyph_count;
    key.parameters[0] = run.size;
    key.parameters[1] = run.max_width;
    key.parameters[2] = run.line_height;
    key.parameters[3] = run.origin_x;
    key.parameters[4] = run.origin_y;
    key.flags = static_cast<std::uint16_t>(static_cast<unsigned>(run.wrap) | (static_cast<unsigned>(run.align) << 8));
    return key;
}

}  // namespace

Status planTextLayouts(FramePlan& plan) {
    std::span<const CanvasCommand> commands = plan.source.commands;
    std::span<TextLayoutPlan> plans = plan.storage.text_plans;
    std::span<TextLine> lines = plan.storage.text_lines;
    std::size_t count = 0;
    std::size_t line_count = 0;
    for (std::size_t i = 0; i < commands.size(); ++i) {
        if (canvasCommandTagBits(commands[i]) != static_cast<unsigned>(CanvasCommandTag::draw_text)) continue;
        if (count == plans.size()) {
            warnPlanCapacity(plans.size());
            return fail(Error::TextLayoutPlanListFull);
        }
        const DrawTextCommand& text = commands[i].draw_text;
        const TextLayoutBox& box = text.layout ? *text.layout : plan.request.default_layout;
        if (count != 0) {
            const TextLayoutPlan& before = plans[count - 1];
            const DrawTextCommand& previous = commands[before.command_index].draw_text;
            if (laysOutAsBefore(previous, previous.layout ? *previous.layout : plan.request.default_layout, text,
                                box)) {
                plans[count] = before;
                plans[count++].command_index = i;
                continue;
            }
        }
        Result<TextRunPlan> run = layoutTextRunPlan(textRunOfDrawText(text), box, lines.subspan(line_count));
        if (!run) {
            if (run.error() == Error::TextLayoutLineListFull) warnTextLayoutLineCapacity(lines.size());
            return fail(run.error());
        }
        plans[count++] = {
            i, line_count, run->lines.size(), run->fingerprint, textLayoutKeyHash(layoutKey(*run)), run->bounds};
        line_count += run->lines.size();
    }
    plan.frame.text_plans = plans.first(count);
    plan.frame.text_lines = lines.first(line_count);

    RetainedCacheClassifier cache = beginRetainedCache(RetainedCacheKind::text_layout, plan.storage.text_cache,
                                                       previousCacheEntries(plan, RetainedCacheKind::text_layout),
                                                       plan.request.frame_tag, Error::TextLayoutCacheListFull);
    for (const TextLayoutPlan& text : plan.frame.text_plans) {
        RetainedCacheEntry entry;
        entry.key = {text.key_hash, text.fingerprint, text.line_count, 0};
        TRY(addRetainedCacheEntry(cache, entry));
    }
    TRY(finishRetainedCache(cache, plan.request.text_layout_retention));
    plan.frame.text_cache = retainedCacheLists(cache);
    return {};
}

}  // namespace kelvo

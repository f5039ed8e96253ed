#include "widgets/draw_text_bounds.hpp"

#include "text/text_run_plan.hpp"
#include "widgets/commands.hpp"

namespace kelvo {

TextRun textRunOfDrawText(const DrawTextCommand& command) {
    TextRun run;
    run.font = command.font;
    run.text = command.text;
    run.glyphs = command.glyphs;
    run.has_layout = command.layout.has_value();
    if (command.layout) run.layout = *command.layout;
    run.size = command.size;
    run.origin_x = command.origin.x;
    run.baseline_y = command.origin.y;
    return run;
}

std::optional<Rect> drawTextBounds(const DrawTextCommand& command) { return textBounds(textRunOfDrawText(command)); }

}  // namespace kelvo

# Reads every canvas element of a process through every interface it offers, as a screen reader
# walking the widget gallery would (names, states, values, texts by character, word and line,
# table cells, actions), then writes what the test checks: the values of the gallery's value
# widgets, that other widgets offer none and describe themselves by no number, and a text area's
# characters, words and lines.
# Usage: read_canvas_gallery.py <process id> <output file>
import sys

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402
import pyatspi  # noqa: E402

from canvas_elements import element, elements_of  # noqa: E402

pid, out = int(sys.argv[1]), sys.argv[2]
BOUNDARIES = {
    "char": pyatspi.TEXT_BOUNDARY_CHAR,
    "word_start": pyatspi.TEXT_BOUNDARY_WORD_START,
    "word_end": pyatspi.TEXT_BOUNDARY_WORD_END,
    "line_start": pyatspi.TEXT_BOUNDARY_LINE_START,
    "line_end": pyatspi.TEXT_BOUNDARY_LINE_END,
    "sentence_start": pyatspi.TEXT_BOUNDARY_SENTENCE_START,
}
GRANULARITIES = [Atspi.TextGranularity.CHAR, Atspi.TextGranularity.WORD, Atspi.TextGranularity.SENTENCE,
                 Atspi.TextGranularity.LINE, Atspi.TextGranularity.PARAGRAPH]


def shown(text):
    return text.replace("\n", "\\n")


def read_all(e):
    """Everything a reader asks of one element; the answers are thrown away."""
    e.name, e.description, e.getRoleName(), e.getState().getStates(), e.getAttributes(), e.getIndexInParent()
    e.queryComponent().getExtents(pyatspi.WINDOW_COORDS)
    action = e.queryAction()
    for i in range(action.nActions):
        action.getName(i), action.getDescription(i), action.getKeyBinding(i)
    interfaces = pyatspi.listInterfaces(e)
    if "Value" in interfaces:
        value = e.queryValue()
        value.currentValue, value.minimumValue, value.maximumValue, value.minimumIncrement, Atspi.Value.get_text(e)
    if "Text" in interfaces:
        text = e.queryText()
        count = text.characterCount
        text.getText(0, -1), text.caretOffset, text.getNSelections(), text.getAttributes(0)
        for offset in sorted({0, count // 2, max(count - 1, 0), count}):
            text.getCharacterAtOffset(offset)
            text.getCharacterExtents(offset, pyatspi.WINDOW_COORDS)
            for boundary in BOUNDARIES.values():
                text.getTextAtOffset(offset, boundary)
                text.getTextBeforeOffset(offset, boundary)
                text.getTextAfterOffset(offset, boundary)
            for granularity in GRANULARITIES:
                Atspi.Text.get_string_at_offset(e, offset, granularity)
    if "TableCell" in interfaces:
        cell = e.queryTableCell()
        cell.position, cell.rowSpan, cell.columnSpan, cell.rowHeaderCells, cell.columnHeaderCells


def value_line(widget_id):
    e = element(pid, widget_id)
    line = f"{widget_id} {e.getRoleName()} description={e.description}"
    if "Value" not in pyatspi.listInterfaces(e):
        return line + " value=none"
    v = e.queryValue()
    return line + f" value={v.currentValue:g} of {v.minimumValue:g}..{v.maximumValue:g} text={Atspi.Value.get_text(e)}"


for e in elements_of(pid):
    read_all(e)

lines = []
# The slider, the progress bar, a scroll view and a stepper (in the second view) have values; a
# checkbox, a toggle button, a radio, a segmented control and list items and cells (in the second
# view) have states instead.
for widget_id in (35, 36, 57, 211, 31, 5, 33, 21, 209, 203):
    lines.append(value_line(widget_id))

# The text area's characters, words and lines at, before and after offsets.
area = element(pid, 44).queryText()
lines.append("44 text=" + shown(area.getText(0, -1)))
for name, offset in (("char", 0), ("char", 12), ("word_start", 3), ("word_start", 12), ("word_end", 12),
                     ("line_start", 0), ("line_start", 12), ("line_end", 14)):
    for place, read in (("at", area.getTextAtOffset), ("before", area.getTextBeforeOffset),
                        ("after", area.getTextAfterOffset)):
        text, start, end = read(offset, BOUNDARIES[name])
        lines.append(f"44 {name} {place} {offset}: {start},{end} \"{shown(text)}\"")
for granularity, offset in ((Atspi.TextGranularity.WORD, 14), (Atspi.TextGranularity.LINE, 14)):
    r = Atspi.Text.get_string_at_offset(element(pid, 44), offset, granularity)
    lines.append(f"44 string {granularity.value_nick} {offset}: {r.start_offset},{r.end_offset} \"{shown(r.content)}\"")

with open(out, "w") as f:
    f.write("\n".join(lines) + "\n")

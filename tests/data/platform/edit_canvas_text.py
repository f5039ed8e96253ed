# Reads and edits the widget gallery's text fields and its text area over the accessibility bus,
# as a screen reader would, and reads a grid cell's place; writes one line per finding.
# Usage: edit_canvas_text.py <process id> <output file>
import sys
import time

import pyatspi

from canvas_elements import element

pid, out = int(sys.argv[1]), sys.argv[2]
lines = []


def shown(text):
    return text.replace("\n", "\\n")


def text_line(widget_id):
    e = element(pid, widget_id)
    t = e.queryText()
    line = f"{widget_id} text={shown(t.getText(0, -1))} chars={t.characterCount} caret={t.caretOffset}"
    if t.getNSelections() > 0:
        start, end = t.getSelection(0)
        line += f" selection={start},{end} selected={shown(t.getText(start, end))}"
    return line


def wait_for(widget_id, part):
    """The element's text line once it holds `part` (the runtime publishes changes a frame later)."""
    line = ""
    for _ in range(100):
        line = text_line(widget_id)
        if part in line:
            return line
        time.sleep(0.1)
    return "timed out: " + line


# A field with a non-ASCII text and a selection, and the character under three points of it.
lines.append(text_line(42))
field = element(pid, 42)
x, y, w, h = field.queryComponent().getExtents(pyatspi.WINDOW_COORDS)
points = [(x, y + h // 2), (x + w // 2, y + h // 2), (x + w - 1, y + h // 2), (x + w, y + h // 2)]
offsets = [field.queryText().getOffsetAtPoint(px, py, pyatspi.WINDOW_COORDS) for px, py in points]
lines.append("42 offsets at left, middle, right, outside=" + ",".join(str(o) for o in offsets))
lines.append(f"42 editable={field.getState().contains(pyatspi.STATE_EDITABLE)}")

# An empty field shows its placeholder; its text is set (action 5), then part of it selected
# (action 6) across a character that takes two UTF-16 units.
empty = element(pid, 43)
lines.append(text_line(43) + f" placeholder={empty.getAttributes()}")
lines.append(f"43 set={empty.queryEditableText().setTextContents('Zoë 👍 typed')}")
lines.append(wait_for(43, "text=Zoë 👍 typed"))
lines.append(f"43 select={element(pid, 43).queryText().setSelection(0, 4, 6)}")
lines.append(wait_for(43, "selection="))

# The first field's selection moves.
lines.append(f"42 select={element(pid, 42).queryText().setSelection(0, 4, 9)}")
lines.append(wait_for(42, "selection=4,9"))

# The text area holding a line feed takes two lines, which read back line by line; words go in
# and out of it.
two_lines = "two lines\nof text"
lines.append(f"44 set={element(pid, 44).queryEditableText().setTextContents(two_lines)}")
lines.append(wait_for(44, "text=two lines\\nof text "))
text = element(pid, 44).queryText()
for offset in (0, 10):
    line, start, end = text.getTextAtOffset(offset, pyatspi.TEXT_BOUNDARY_LINE_START)
    lines.append(f"44 line at {offset}: {start},{end} {shown(line)}")
lines.append(f"44 insert={element(pid, 44).queryEditableText().insertText(3, ' more', 5)}")
lines.append(wait_for(44, "text=two more lines"))
lines.append(f"44 delete={element(pid, 44).queryEditableText().deleteText(3, 8)}")
lines.append(wait_for(44, "text=two lines\\nof text "))

# Refused edits change nothing (the bridge answers every edit true, whatever became of it): a
# bell in the text area, a line feed in a one-line field. The selections set after them show
# that the view handled them.
element(pid, 44).queryEditableText().setTextContents("a bell\a")
element(pid, 42).queryEditableText().insertText(2, "\n", 1)
element(pid, 44).queryText().setSelection(0, 0, 3)
element(pid, 42).queryText().setSelection(0, 0, 2)
lines.append(wait_for(44, "selection=0,3"))
lines.append(wait_for(42, "selection=0,2"))

# Grid cells and list items know their place (in a second view: the gallery's grid and virtual
# list lie beyond the elements a view publishes).
for widget_id in (203, 207, 209, 210):
    *_, row, column = element(pid, widget_id).queryTableCell().position  # (answer, row, column)
    lines.append(f"{widget_id} row={row} column={column}")

with open(out, "w") as f:
    f.write("\n".join(lines) + "\n")

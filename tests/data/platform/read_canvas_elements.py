# Reads a canvas view's accessibility elements over the accessibility bus, as a screen reader
# would, then presses the first one unless told to only list them.
# Usage: read_canvas_elements.py <process id> <output file> [list]
import sys

import pyatspi

from canvas_elements import elements_of

pid, out = int(sys.argv[1]), sys.argv[2]

lines = []
elements = elements_of(pid)
for e in elements:
    x, y, w, h = e.queryComponent().getExtents(pyatspi.WINDOW_COORDS)
    action = e.queryAction()
    actions = ",".join(action.getName(i) for i in range(action.nActions))
    line = f"{e.get_accessible_id()} role={e.getRoleName()} name={e.name} at={x},{y},{w},{h} actions={actions}"
    try:
        value = e.queryValue()
        line += f" value={value.currentValue:g} of {value.minimumValue:g}..{value.maximumValue:g}"
    except NotImplementedError:
        pass
    lines.append(line)
if elements and sys.argv[3:] != ["list"]:
    elements[0].queryAction().doAction(0)
with open(out, "w") as f:
    f.write("\n".join(lines) + "\n")

# Reads a canvas view's accessibility elements over the accessibility bus, as a screen reader
# would, then presses the first one unless told to only list them.
# Usage: read_canvas_elements.py <process id> <output file> [list]
import sys

import pyatspi

pid, out = int(sys.argv[1]), sys.argv[2]


def elements_under(node):
    """The children of the first object whose children carry the elements' identifiers."""
    children = [c for c in node if c is not None]
    if any((c.get_accessible_id() or "").startswith("kelvo-widget-") for c in children):
        return children
    for child in children:
        found = elements_under(child)
        if found:
            return found
    return []


lines = []
app = next(a for a in pyatspi.Registry.getDesktop(0) if a is not None and a.get_process_id() == pid)
elements = elements_under(app)
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

# Where a part of a program's windows shows on the screen, found over the accessibility bus as a
# screen reader finds it: a menu of its menu bar or an item of its open menu ("menu"), a button of
# a dialog ("button"), a button anywhere, a page's included ("control"), or a cell of a list, such
# as a file in a file chooser ("cell"). Prints the
# centre of the shown one of that name as "x y" in the screen's pixels, or exits with 1 when none
# shows.
# Usage: shown_centre.py <process id> menu|button|control|cell <name>
import sys

import pyatspi

pid, kind, name = int(sys.argv[1]), sys.argv[2], sys.argv[3]
roles = {"menu": ("menu", "menu item"), "button": ("push button",), "control": ("push button",), "cell": ("table cell",)}[kind]
# A button of a dialog, not one of the same name in the window under it (its page's toolbar, say); a
# control anywhere, a page's own included.
within = ("dialog", "file chooser", "alert") if kind == "button" else None


def shown(node, depth=0, inside=within is None):
    if node is None or depth > 24:
        return None
    try:
        role = node.getRoleName()
        inside = inside or role in within
        if inside and role in roles and node.name == name and node.getState().contains(pyatspi.STATE_SHOWING):
            return node
        children = [node.getChildAtIndex(i) for i in range(node.childCount)]
    except Exception:  # a node that went while it was read
        return None
    for child in children:
        found = shown(child, depth + 1, inside)
        if found is not None:
            return found
    return None


for app in pyatspi.Registry.getDesktop(0):
    try:
        if app is None or app.get_process_id() != pid:
            continue
    except Exception:
        continue
    item = shown(app)
    if item is not None:
        x, y, w, h = item.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        if w > 1 and h > 1:
            print(x + w // 2, y + h // 2)
            sys.exit(0)
sys.exit(1)

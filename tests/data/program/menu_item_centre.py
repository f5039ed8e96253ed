# Where a menu of a program's menu bar, or an item of its open menu, shows on the screen, found
# over the accessibility bus as a screen reader finds it: prints the centre of the shown one of
# that name as "x y" in the screen's pixels, or exits with 1 when none shows.
# Usage: menu_item_centre.py <process id> <name>
import sys

import pyatspi

pid, name = int(sys.argv[1]), sys.argv[2]


def shown(node, depth=0):
    if node is None or depth > 16:
        return None
    try:
        if node.getRoleName() in ("menu", "menu item") and node.name == name and node.getState().contains(
            pyatspi.STATE_SHOWING
        ):
            return node
        children = [node.getChildAtIndex(i) for i in range(node.childCount)]
    except Exception:  # a node that went while it was read
        return None
    for child in children:
        found = shown(child, depth + 1)
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

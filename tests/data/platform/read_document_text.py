# Reads the text element named "Document text" of a process's pages over the accessibility bus, as
# a screen reader would, and writes its role, whether it is editable and multi-line, and the start
# of its text. The page's content may be published by its web process, beside the program.
# Usage: read_document_text.py <process id> <output file>
import sys
import time

import pyatspi

pid, out = int(sys.argv[1]), sys.argv[2]


def find(node, depth=0):
    if node is None or depth > 40:
        return None
    if node.name == "Document text":
        return node
    for child in node:
        found = find(child, depth + 1)
        if found is not None:
            return found
    return None


found = None
for _ in range(50):
    apps = [a for a in pyatspi.Registry.getDesktop(0) if a is not None]
    # The program first, then the other applications on the bus (its web process among them).
    apps.sort(key=lambda a: a.get_process_id() != pid)
    for app in apps:
        found = find(app)
        if found is not None:
            break
    if found is not None:
        break
    time.sleep(0.2)

with open(out, "w") as f:
    if found is None:
        f.write("not found\n")
    else:
        states = found.getState()
        text = found.queryText()
        f.write(
            f"role={found.getRoleName()} editable={states.contains(pyatspi.STATE_EDITABLE)} "
            f"multi-line={states.contains(pyatspi.STATE_MULTI_LINE)} text={text.getText(0, 12)!r}\n"
        )

# Finding a process's canvas accessibility elements over the accessibility bus, as a screen
# reader would: shared by the reader scripts beside this file.
import pyatspi


def _elements_under(node):
    """The elements of every canvas view under `node`: the children that carry their identifiers."""
    children = [c for c in node if c is not None]
    if any((c.get_accessible_id() or "").startswith("kelvo-widget-") for c in children):
        return children
    return [e for child in children for e in _elements_under(child)]


def elements_of(pid):
    """The canvas elements of the process `pid`, view by view, each view's in order."""
    app = next(a for a in pyatspi.Registry.getDesktop(0) if a is not None and a.get_process_id() == pid)
    return _elements_under(app)


def element(pid, widget_id):
    """The element of widget `widget_id` (of the first view that has one), found anew: every
    publication replaces a view's elements."""
    name = f"kelvo-widget-{widget_id}"
    return next(e for e in elements_of(pid) if e.get_accessible_id() == name)

// GTK accessibility of canvas views. A canvas view's drawing area has an accessible of its own
// type whose children are the view's elements: small ATK objects with a role, a name, states,
// extents inside the area, the actions the element allows, a placeholder among their attributes
// and, where the element has them, a value, a text (editable where the widget takes text) and a
// place as a table cell. Assistive technology reaches them over the accessibility bus; what it
// does to them is posted to the main loop and handed to the view's sink there, unless the view is
// gone by then.

#include <gtk/gtk-a11y.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/utf16_offsets.hpp"
#include "platform/standin/gtk/canvas_element.hpp"
#include "platform/standin/gtk/gtk_state.hpp"

namespace kelvo::standin {

struct KelvoCanvasElement {
    AtkObject parent;
    ElementData* data;
};
struct KelvoCanvasElementClass {
    AtkObjectClass parent;
};

struct KelvoCanvasAreaAccessible {
    GtkWidgetAccessible parent;
    std::vector<AtkObject*>* children;  // owned references
};
struct KelvoCanvasAreaAccessibleClass {
    GtkWidgetAccessibleClass parent;
};

struct KelvoCanvasArea {
    GtkDrawingArea parent;
};
struct KelvoCanvasAreaClass {
    GtkDrawingAreaClass parent;
};

namespace {

void elementComponentInit(AtkComponentIface* iface);
void elementActionInit(AtkActionIface* iface);

}  // namespace

G_DEFINE_TYPE_WITH_CODE(KelvoCanvasElement, kelvo_canvas_element, ATK_TYPE_OBJECT,
                        G_IMPLEMENT_INTERFACE(ATK_TYPE_COMPONENT, elementComponentInit)
                            G_IMPLEMENT_INTERFACE(ATK_TYPE_ACTION, elementActionInit))
G_DEFINE_TYPE(KelvoCanvasAreaAccessible, kelvo_canvas_area_accessible, GTK_TYPE_WIDGET_ACCESSIBLE)
G_DEFINE_TYPE(KelvoCanvasArea, kelvo_canvas_area, GTK_TYPE_DRAWING_AREA)

namespace {

std::vector<AtkObject*>& childrenOf(gpointer accessible) {
    return *reinterpret_cast<KelvoCanvasAreaAccessible*>(accessible)->children;
}

// Element: states and place.
AtkStateSet* elementStates(AtkObject* object) {
    AtkStateSet* set = ATK_OBJECT_CLASS(kelvo_canvas_element_parent_class)->ref_state_set(object);
    const ElementData& d = elementDataOf(object);
    atk_state_set_add_state(set, ATK_STATE_VISIBLE);
    atk_state_set_add_state(set, ATK_STATE_SHOWING);
    if (d.enabled) {
        atk_state_set_add_state(set, ATK_STATE_ENABLED);
        atk_state_set_add_state(set, ATK_STATE_SENSITIVE);
    }
    if (d.canFocus) atk_state_set_add_state(set, ATK_STATE_FOCUSABLE);
    if (d.focused) atk_state_set_add_state(set, ATK_STATE_FOCUSED);
    if (d.selected) atk_state_set_add_state(set, ATK_STATE_SELECTED);
    if (d.expanded) {
        atk_state_set_add_state(set, ATK_STATE_EXPANDABLE);
        if (*d.expanded) atk_state_set_add_state(set, ATK_STATE_EXPANDED);
    }
    if (d.required) atk_state_set_add_state(set, ATK_STATE_REQUIRED);
    if (d.enabled && d.valueSettable) atk_state_set_add_state(set, ATK_STATE_EDITABLE);
    if (d.enabled && d.selectionSettable) atk_state_set_add_state(set, ATK_STATE_SELECTABLE_TEXT);
    return set;
}

gint elementIndex(AtkObject* object) { return elementDataOf(object).index; }

// The caller frees the set.
AtkAttributeSet* elementAttributes(AtkObject* object) {
    const ElementData& d = elementDataOf(object);
    if (d.placeholder.empty()) return nullptr;
    auto* attribute = static_cast<AtkAttribute*>(g_malloc(sizeof(AtkAttribute)));
    attribute->name = g_strdup("placeholder-text");
    attribute->value = g_strdup(d.placeholder.c_str());
    return g_slist_prepend(nullptr, attribute);
}

void elementFinalize(GObject* object) {
    delete reinterpret_cast<KelvoCanvasElement*>(object)->data;
    G_OBJECT_CLASS(kelvo_canvas_element_parent_class)->finalize(object);
}

// Element: extents, relative to the drawing area's.
void elementExtents(AtkComponent* component, gint* x, gint* y, gint* width, gint* height, AtkCoordType coords) {
    const ElementData& d = elementDataOf(component);
    gint areaX = 0;
    gint areaY = 0;
    canvasOriginOf(ATK_OBJECT(component), coords, &areaX, &areaY);
    if (x != nullptr) *x = areaX + static_cast<gint>(d.frame.x);
    if (y != nullptr) *y = areaY + static_cast<gint>(d.frame.y);
    if (width != nullptr) *width = static_cast<gint>(d.frame.width);
    if (height != nullptr) *height = static_cast<gint>(d.frame.height);
}

gboolean elementGrabFocus(AtkComponent* component) {
    const ElementData& d = elementDataOf(component);
    if (!d.enabled || !d.canFocus) return FALSE;
    deliverElementAction(d, ElementAction{ElementActionKind::focus});
    return TRUE;
}

void elementComponentInit(AtkComponentIface* iface) {
    iface->get_extents = elementExtents;
    iface->grab_focus = elementGrabFocus;
}

// Element: actions.
gint actionCount(AtkAction* action) { return static_cast<gint>(elementDataOf(action).actions.size()); }

gboolean doAction(AtkAction* action, gint i) {
    const ElementData& d = elementDataOf(action);
    if (i < 0 || static_cast<std::size_t>(i) >= d.actions.size()) return FALSE;
    deliverElementAction(d, ElementAction{d.actions[static_cast<std::size_t>(i)].second});
    return TRUE;
}

const gchar* actionName(AtkAction* action, gint i) {
    const ElementData& d = elementDataOf(action);
    if (i < 0 || static_cast<std::size_t>(i) >= d.actions.size()) return nullptr;
    return d.actions[static_cast<std::size_t>(i)].first;
}

void elementActionInit(AtkActionIface* iface) {
    iface->get_n_actions = actionCount;
    iface->do_action = doAction;
    iface->get_name = actionName;
}

AtkRole atkRoleOf(ElementRole role) {
    switch (role) {
        case ElementRole::static_text:
            return ATK_ROLE_LABEL;
        case ElementRole::image:
            return ATK_ROLE_IMAGE;
        case ElementRole::button:
            return ATK_ROLE_PUSH_BUTTON;
        case ElementRole::text_field:
            return ATK_ROLE_ENTRY;
        case ElementRole::menu:
            return ATK_ROLE_MENU;
        case ElementRole::menu_item:
            return ATK_ROLE_MENU_ITEM;
        case ElementRole::list:
            return ATK_ROLE_LIST;
        case ElementRole::row:
            return ATK_ROLE_TABLE_ROW;
        case ElementRole::table:
            return ATK_ROLE_TABLE;
        case ElementRole::cell:
            return ATK_ROLE_TABLE_CELL;
        case ElementRole::check_box:
            return ATK_ROLE_CHECK_BOX;
        case ElementRole::slider:
            return ATK_ROLE_SLIDER;
        case ElementRole::progress_indicator:
            return ATK_ROLE_PROGRESS_BAR;
        case ElementRole::radio_button:
            return ATK_ROLE_RADIO_BUTTON;
        case ElementRole::group:
            break;
    }
    return ATK_ROLE_PANEL;
}

// The interfaces an element implements beyond its component and actions.
namespace facet {
inline constexpr unsigned value = 1;
inline constexpr unsigned text = 2;
inline constexpr unsigned editable_text = 4;
inline constexpr unsigned table_cell = 8;
inline constexpr unsigned all = 16;
}  // namespace facet

// The value assistive technology reads: a range (a scroll position within its extent), or the
// number of a widget whose number is its value (a slider, a progress bar, one that increment and
// decrement step) within 0 to 1, the runtime's range for them, widened to a number outside it.
// Other numbers (the on state of a checkbox, a list item or a cell) are states, not values.
std::optional<ElementRange> valueOf(const AccessibleElement& e) {
    if (e.range) return e.range;
    if (!e.numericValue) return std::nullopt;
    const bool valued =
        e.role == ElementRole::slider || e.role == ElementRole::progress_indicator || e.canIncrement || e.canDecrement;
    if (!valued) return std::nullopt;
    const double number = *e.numericValue;
    return ElementRange{std::min(0.0, number), std::max(1.0, number), number};
}

unsigned facetsOf(const AccessibleElement& e) {
    unsigned facets = 0;
    if (valueOf(e)) facets |= facet::value;
    if (e.role == ElementRole::text_field || !e.text.empty() || e.valueSettable || e.selectionSettable) {
        facets |= facet::text;
    }
    if (e.valueSettable) facets |= facet::editable_text;
    if (e.rowIndex || e.columnIndex || e.positionInSet) facets |= facet::table_cell;
    return facets;
}

template <class Iface, void (*Init)(Iface*)>
void initInterface(gpointer iface, gpointer) {
    Init(static_cast<Iface*>(iface));
}

// One element type for each set of facets, made the first time an element needs it.
GType elementTypeWith(unsigned facets) {
    static std::array<GType, facet::all> types{};
    if (facets == 0) return kelvo_canvas_element_get_type();
    if (types[facets] != 0) return types[facets];
    const std::string name = "KelvoCanvasElement" + std::to_string(facets);
    const GType type =
        g_type_register_static_simple(kelvo_canvas_element_get_type(), name.c_str(), sizeof(KelvoCanvasElementClass),
                                      nullptr, sizeof(KelvoCanvasElement), nullptr, GTypeFlags{});
    const auto add = [type](GType iface, GInterfaceInitFunc init) {
        const GInterfaceInfo info{init, nullptr, nullptr};
        g_type_add_interface_static(type, iface, &info);
    };
    if ((facets & facet::value) != 0) add(ATK_TYPE_VALUE, initInterface<AtkValueIface, elementValueInit>);
    if ((facets & facet::text) != 0) add(ATK_TYPE_TEXT, initInterface<AtkTextIface, elementTextInit>);
    if ((facets & facet::editable_text) != 0) {
        add(ATK_TYPE_EDITABLE_TEXT, initInterface<AtkEditableTextIface, elementEditableTextInit>);
    }
    if ((facets & facet::table_cell) != 0) {
        add(ATK_TYPE_TABLE_CELL, initInterface<AtkTableCellIface, elementTableCellInit>);
    }
    types[facets] = type;
    return type;
}

// Text offsets of the host's element count UTF-16 units; here they count characters.
void copyText(ElementData& d, const AccessibleElement& e) {
    d.text = e.text;
    d.characters = characterCount(d.text);
    if (e.selectionStart) {
        const std::uint64_t start = characterOffsetOfUtf16(d.text, *e.selectionStart);
        d.selection = {start, characterOffsetOfUtf16(d.text, *e.selectionStart + e.selectionLength)};
    }
    if (e.caretOffset) d.caret = characterOffsetOfUtf16(d.text, *e.caretOffset);
    d.placeholder = e.placeholder;
}

AtkObject* makeElement(GtkNativeViewRecord& record, AtkObject* parent, const AccessibleElement& e, int index) {
    auto* object = static_cast<KelvoCanvasElement*>(g_object_new(elementTypeWith(facetsOf(e)), nullptr));
    ElementData& d = *object->data;
    d.state = record.state;
    d.viewNumber = record.number;
    d.widgetId = e.widgetId;
    d.frame = e.frame;
    d.value = valueOf(e);
    if (d.value) d.valueText = e.value;
    d.enabled = e.enabled;
    d.focused = e.focused;
    d.selected = e.selected;
    d.expanded = e.expanded;
    d.required = e.required;
    d.canFocus = e.canFocus;
    d.valueSettable = e.valueSettable;
    d.selectionSettable = e.selectionSettable;
    d.index = index;
    copyText(d, e);
    if (e.rowIndex) {
        d.row = e.rowIndex;
    } else if (e.positionInSet) {
        d.row = *e.positionInSet;  // a list's items are its rows
    }
    d.column = e.columnIndex;
    if (e.canPress) d.actions.emplace_back("press", ElementActionKind::press);
    if (e.canIncrement) d.actions.emplace_back("increment", ElementActionKind::increment);
    if (e.canDecrement) d.actions.emplace_back("decrement", ElementActionKind::decrement);
    if (e.canCancel) d.actions.emplace_back("cancel", ElementActionKind::cancel);
    AtkObject* atk = ATK_OBJECT(object);
    atk_object_set_role(atk, atkRoleOf(e.role));
    atk_object_set_name(atk, std::string(e.label).c_str());
    // A value is read as the value, a text as the text: neither describes the element.
    atk_object_set_description(atk, std::string(e.valueDescription).c_str());
    atk_object_set_accessible_id(atk, std::string(e.identifier).c_str());
    atk_object_set_parent(atk, parent);
    return atk;
}

// The drawing area's accessible: the widget's own, with the elements as its children.
gint areaChildCount(AtkObject* accessible) { return static_cast<gint>(childrenOf(accessible).size()); }

AtkObject* areaChild(AtkObject* accessible, gint i) {
    std::vector<AtkObject*>& children = childrenOf(accessible);
    if (i < 0 || static_cast<std::size_t>(i) >= children.size()) return nullptr;
    return ATK_OBJECT(g_object_ref(children[static_cast<std::size_t>(i)]));
}

void releaseChildren(std::vector<AtkObject*>& children) {
    for (AtkObject* child : children) g_object_unref(child);
    children.clear();
}

// Each element holds a reference to the area's accessible, its parent, and the accessible holds
// the elements: the elements go when the widget goes, or neither would ever be freed.
void areaWidgetUnset(GtkAccessible* accessible) {
    releaseChildren(childrenOf(accessible));
    GTK_ACCESSIBLE_CLASS(kelvo_canvas_area_accessible_parent_class)->widget_unset(accessible);
}

void areaFinalize(GObject* object) {
    auto* self = reinterpret_cast<KelvoCanvasAreaAccessible*>(object);
    releaseChildren(*self->children);
    delete self->children;
    G_OBJECT_CLASS(kelvo_canvas_area_accessible_parent_class)->finalize(object);
}

void setElements(void*, ViewRef ref, std::span<const AccessibleElement> elements, ElementActionSink sink) {
    auto& record = static_cast<GtkNativeViewRecord&>(placedView(ref));
    record.elementSink = sink;
    AtkObject* accessible = gtk_widget_get_accessible(record.widget);
    if (accessible == nullptr || !G_TYPE_CHECK_INSTANCE_TYPE(accessible, kelvo_canvas_area_accessible_get_type())) {
        return;
    }
    std::vector<AtkObject*>& children = childrenOf(accessible);
    for (std::size_t i = children.size(); i-- > 0;) {
        g_signal_emit_by_name(accessible, "children-changed::remove", static_cast<guint>(i), children[i]);
    }
    releaseChildren(children);
    for (const AccessibleElement& e : elements) {
        const int index = static_cast<int>(children.size());
        children.push_back(makeElement(record, accessible, e, index));
        g_signal_emit_by_name(accessible, "children-changed::add", static_cast<guint>(index), children.back());
    }
}

}  // namespace

ElementData& elementDataOf(gpointer element) { return *reinterpret_cast<KelvoCanvasElement*>(element)->data; }

void deliverElementAction(const ElementData& data, const ElementAction& action) {
    GtkState* state = data.state;
    data.state->post(
        [state, number = data.viewNumber, widgetId = data.widgetId, action, text = std::string(action.text)] {
            auto found = state->nativeViews.find(number);
            if (found == state->nativeViews.end()) return;
            GtkNativeViewRecord& record = *found->second;
            if (record.elementSink.deliver == nullptr) return;
            ElementAction copy = action;
            copy.text = text;
            record.elementSink.deliver(record.elementSink.context,
                                       reinterpret_cast<ViewRef>(static_cast<GtkPlacedView*>(&record)), widgetId, copy);
        });
}

void canvasOriginOf(AtkObject* element, AtkCoordType coords, gint* x, gint* y) {
    *x = *y = 0;
    if (coords == ATK_XY_PARENT) return;  // the view is the parent
    AtkObject* parent = atk_object_get_parent(element);
    if (parent != nullptr && ATK_IS_COMPONENT(parent)) {
        atk_component_get_extents(ATK_COMPONENT(parent), x, y, nullptr, nullptr, coords);
    }
}

static void kelvo_canvas_element_init(KelvoCanvasElement* self) { self->data = new ElementData(); }

static void kelvo_canvas_element_class_init(KelvoCanvasElementClass* klass) {
    G_OBJECT_CLASS(klass)->finalize = elementFinalize;
    ATK_OBJECT_CLASS(klass)->ref_state_set = elementStates;
    ATK_OBJECT_CLASS(klass)->get_index_in_parent = elementIndex;
    ATK_OBJECT_CLASS(klass)->get_attributes = elementAttributes;
}

static void kelvo_canvas_area_accessible_init(KelvoCanvasAreaAccessible* self) {
    self->children = new std::vector<AtkObject*>();
}

static void kelvo_canvas_area_accessible_class_init(KelvoCanvasAreaAccessibleClass* klass) {
    G_OBJECT_CLASS(klass)->finalize = areaFinalize;
    GTK_ACCESSIBLE_CLASS(klass)->widget_unset = areaWidgetUnset;
    ATK_OBJECT_CLASS(klass)->get_n_children = areaChildCount;
    ATK_OBJECT_CLASS(klass)->ref_child = areaChild;
}

static void kelvo_canvas_area_init(KelvoCanvasArea*) {}

static void kelvo_canvas_area_class_init(KelvoCanvasAreaClass* klass) {
    gtk_widget_class_set_accessible_type(GTK_WIDGET_CLASS(klass), kelvo_canvas_area_accessible_get_type());
}

GtkWidget* newCanvasDrawingArea() { return GTK_WIDGET(g_object_new(kelvo_canvas_area_get_type(), nullptr)); }

AccessibilityService gtkAccessibility() {
    AccessibilityService service;
    KELVO_STANDIN_FILL(service, KELVO_STANDIN_ACCESSIBILITY_FUNCTIONS)
    return service;
}

}  // namespace kelvo::standin

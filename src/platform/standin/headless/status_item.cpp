// The headless status item: its state kept as the host set it; the user picks menu items.

#include "platform/standin/headless/headless_state.hpp"

namespace kelvo::standin {

namespace {

HeadlessServices::StatusItem* item(void* self) {
    std::optional<HeadlessServices::StatusItem>& made = headlessState(self).services.statusItem;
    return made ? &*made : nullptr;
}

bool create(void* self, bool variableLength) {
    HeadlessState& state = headlessState(self);
    state.note(std::string("status.create ") + (variableLength ? "variable" : "square") +
               (state.answers.statusItemShows ? "" : " nowhere"));
    state.services.statusItem.reset();
    if (!state.answers.statusItemShows) return false;
    state.services.statusItem = HeadlessServices::StatusItem{};
    state.services.statusItem->variableLength = variableLength;
    return true;
}

void remove(void* self) {
    HeadlessState& state = headlessState(self);
    state.note("status.remove");
    state.services.statusItem.reset();
}

void setVariableLength(void* self, bool variableLength) {
    headlessState(self).note(std::string("status.length ") + (variableLength ? "variable" : "square"));
    if (auto* made = item(self)) made->variableLength = variableLength;
}

bool setImageFromFile(void* self, std::string_view path) {
    HeadlessState& state = headlessState(self);
    bool loaded = state.answers.iconFilesReadable;
    state.note("status.image " + std::string(path) + (loaded ? " loaded" : " unreadable"));
    if (auto* made = item(self); made && loaded) made->hasImage = true;
    return loaded;
}

void setTitle(void* self, std::string_view title) {
    headlessState(self).note("status.title " + std::string(title));
    if (auto* made = item(self)) made->title = std::string(title);
}

void setTooltip(void* self, std::string_view tooltip) {
    headlessState(self).note("status.tooltip " + std::string(tooltip));
    if (auto* made = item(self)) made->tooltip = std::string(tooltip);
}

void setMenu(void* self, std::span<const MenuItem> items, MenuChoice chosen) {
    headlessState(self).note("status.menu items=" + std::to_string(items.size()));
    auto* made = item(self);
    if (made == nullptr) return;
    made->menu.clear();
    for (const MenuItem& entry : items) {
        made->menu.push_back({std::string(entry.title), entry.tag, entry.enabled, entry.separator});
    }
    made->chosen = std::move(chosen);
}

}  // namespace

StatusItemService headlessStatusItem() {
    StatusItemService statusItem;
    KELVO_STANDIN_FILL(statusItem, KELVO_STANDIN_STATUS_ITEM_FUNCTIONS)
    return statusItem;
}

void HeadlessStandIn::userPickStatusItem(std::uint32_t tag) {
    HeadlessState* state = state_.get();
    state->post([state, tag] {
        auto& made = state->services.statusItem;
        if (!made || !made->chosen) return;
        for (const HeadlessServices::StatusMenuItem& entry : made->menu) {
            if (!entry.separator && entry.enabled && entry.tag == tag) {
                MenuChoice chosen = made->chosen;  // the host may replace the menu meanwhile
                chosen(tag);
                return;
            }
        }
    });
}

}  // namespace kelvo::standin

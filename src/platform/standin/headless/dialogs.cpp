// Headless dialogs: each takes the next scripted answer and, like a modal dialog, keeps the main
// loop running for as long as the answer says it stays open. As in the GTK backend, a loop told
// to end ends the dialog with it, answered as cancelled, and a dialog asked for after that is
// answered so at once.

#include "platform/standin/headless/headless_state.hpp"

namespace kelvo::standin {

namespace {

std::string joined(std::span<const std::string> texts, char separator) {
    std::string out;
    for (const std::string& text : texts) {
        if (!out.empty()) out.push_back(separator);
        out += text;
    }
    return out;
}

// The next answer, after the dialog has been open for as long as it says; none (cancelled) when
// the loop is told to end first.
std::optional<HeadlessServices::DialogAnswer> answer(HeadlessState& state) {
    if (quitRequested(state)) {
        state.note("dialog.cancelled");
        return std::nullopt;
    }
    if (state.services.dialogAnswers.empty()) return std::nullopt;
    HeadlessServices::DialogAnswer next = std::move(state.services.dialogAnswers.front());
    state.services.dialogAnswers.pop_front();
    if (next.openNs > 0 && !runNestedLoop(state, next.openNs)) {
        state.note("dialog.cancelled");
        return std::nullopt;
    }
    return next;
}

// The document types an open panel offers: "<name>:<ext>;<ext>|<name>:...".
std::string offeredTypes(const HeadlessState& state) {
    std::string out;
    for (const DocumentType& type : state.documentTypes) {
        if (!out.empty()) out.push_back('|');
        out += type.name + ":" + joined(type.extensions, ';');
    }
    return out;
}

std::vector<std::string> runOpen(void* self, const OpenPanel& panel) {
    HeadlessState& state = headlessState(self);
    const bool offersTypes = panel.extensions.empty() && !state.documentTypes.empty();
    state.note("dialog.open title=" + std::string(panel.title) + " folder=" + std::string(panel.folder) +
               " extensions=" + joined(panel.extensions, ';') +
               " directories=" + (panel.chooseDirectories ? "1" : "0") + " multiple=" + (panel.multiple ? "1" : "0") +
               (offersTypes ? " types=" + offeredTypes(state) : ""));
    std::optional<HeadlessServices::DialogAnswer> chosen = answer(state);
    if (!chosen) return {};
    return std::move(chosen->paths);
}

std::optional<std::string> runSave(void* self, const SavePanel& panel) {
    HeadlessState& state = headlessState(self);
    state.note("dialog.save title=" + std::string(panel.title) + " folder=" + std::string(panel.folder) +
               " name=" + std::string(panel.name) + " extensions=" + joined(panel.extensions, ';'));
    std::optional<HeadlessServices::DialogAnswer> chosen = answer(state);
    if (!chosen || chosen->paths.empty()) return std::nullopt;
    return std::move(chosen->paths.front());
}

int runAlert(void* self, const Alert& alert) {
    HeadlessState& state = headlessState(self);
    static constexpr const char* kStyles[] = {"informational", "warning", "critical"};
    std::string buttons;
    for (std::string_view button : alert.buttons) {
        if (!buttons.empty()) buttons.push_back('|');
        buttons += button;
    }
    state.note(std::string("dialog.alert style=") + kStyles[static_cast<int>(alert.style)] +
               " title=" + std::string(alert.windowTitle) + " message=" + std::string(alert.message) +
               " informative=" + std::string(alert.informative) + " buttons=" + buttons);
    std::optional<HeadlessServices::DialogAnswer> chosen = answer(state);
    if (!chosen || chosen->button < 0 || static_cast<std::size_t>(chosen->button) >= alert.buttons.size()) return -1;
    return chosen->button;
}

void setDocumentTypes(void* self, std::vector<DocumentType> types) {
    headlessState(self).documentTypes = std::move(types);
}

}  // namespace

DialogService headlessDialogs() {
    DialogService dialogs;
    KELVO_STANDIN_FILL(dialogs, KELVO_STANDIN_DIALOG_FUNCTIONS)
    return dialogs;
}

}  // namespace kelvo::standin

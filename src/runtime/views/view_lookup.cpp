
#include "runtime/runtime.hpp"

namespace kelvo {
namespace {

// The first open record of `table` in the window that `matches`.
template <class Table, class Matches>
std::optional<std::size_t> findOpen(const Table& table, std::uint64_t windowId, Matches matches) {
    for (std::size_t i = 0; i < table.size(); ++i) {
        const auto& record = table[i];
        if (record.open && record.windowId == windowId && matches(record)) return i;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::size_t> findViewIndex(const Runtime& runtime, std::uint64_t windowId, std::string_view label) {
    return findOpen(runtime.views, windowId, [label](const RuntimeView& view) { return view.label.view() == label; });
}

std::optional<std::size_t> findWebViewIndex(const Runtime& runtime, std::uint64_t windowId, std::string_view label) {
    return findOpen(runtime.webViews, windowId,
                    [label](const RuntimeWebView& webView) { return webView.label.view() == label; });
}

std::optional<std::size_t> findChildViewIndex(const Runtime& runtime, std::uint64_t windowId, std::string_view parent) {
    return findOpen(runtime.views, windowId, [parent](const RuntimeView& view) { return view.parent.equals(parent); });
}

std::optional<std::size_t> findChildWebViewIndex(const Runtime& runtime, std::uint64_t windowId,
                                                 std::string_view parent) {
    return findOpen(runtime.webViews, windowId,
                    [parent](const RuntimeWebView& webView) { return webView.parent.equals(parent); });
}

bool windowHasViewLabel(const Runtime& runtime, std::uint64_t windowId, std::string_view label) {
    return label == kMainWebViewLabel || findViewIndex(runtime, windowId, label) ||
           findWebViewIndex(runtime, windowId, label);
}

}  // namespace kelvo

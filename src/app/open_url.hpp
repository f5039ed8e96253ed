#pragma once

// Opening external links. A link opens only when it passes the application's allow-list: HTTPS to
// the application's own sites, plain HTTP to the local host name or to a private IPv4 address.
// The check is a strict URL parser: anything a system opener or browser might read differently
// (control bytes, spaces, backslashes, characters outside the URL grammar, user names) is refused,
// so the host that was checked is the host that opens.

#include <cstdint>
#include <string_view>

namespace kelvo {

// How a link reaches the user's default browser; the host fills it in, tests record with it.
struct WorkspaceOpener {
    void* context = nullptr;
    // True when the system accepted the link for opening.
    bool (*openUrl)(void* context, std::string_view url) = nullptr;
};

// Links of 1 to this many bytes are examined.
inline constexpr std::size_t kMaxExternalUrlBytes = 2047;

// Whether `url` passes the allow-list. Nothing is opened.
bool externalUrlAllowed(std::string_view url);

// Opens the link at `bytes` (UTF-8, `length` bytes) through `workspace` when it passes the
// allow-list; false when it is refused, when there is no opener, or when the opener fails.
bool vostra_studio_open_url(const WorkspaceOpener& workspace, const char* bytes, std::uint64_t length);

}  // namespace kelvo

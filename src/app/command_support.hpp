#pragma once

// Private to src/app: what the document commands share.

#include <cstdint>
#include <span>
#include <string_view>

#include "app/app.hpp"

namespace kelvo {

inline constexpr std::string_view kOkReply = "{\"ok\":true}";

// The caller's web view as a file owner; WebViewLabelTooLarge for a label no web view can have.
Result<FileOwner> ownerOf(const BridgeInvocation& call);
bool ownedBy(const FileOwner& owner, const BridgeInvocation& call);

// `{"ok":true,"bytes":<count>}` in `output`.
Result<std::string_view> writeBytesReply(std::span<char> output, std::uint64_t count);

// Path rules beyond the commands' own: absolute, no "." or ".." component, no control byte.
bool isPlainAbsolutePath(std::string_view path);

// Whether something other than this application's writes took the clipboard since the user asked
// for the copy `text`, which is then not to land over it.
bool copyOvertaken(const App& app, const PendingClipboardText& text);
// Gives up a claim of the clipboard whose text will not come (0: none).
void dropClaim(const App& app, std::uint64_t claim);

// Ends the save in progress, if any: the temporary file is closed and removed, the count reset.
void endSave(App& app);
// Ends the read in progress, if any.
void endRead(App& app);

}  // namespace kelvo

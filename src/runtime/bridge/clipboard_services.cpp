#include "runtime/bridge/clipboard_services.hpp"

#include <cstdint>

#include "base/io.hpp"
#include "runtime/bridge/family_support.hpp"
#include "runtime/runtime.hpp"

namespace kelvo {
namespace {

std::span<std::uint8_t> asByteSpan(std::span<char> buffer) {
    return {reinterpret_cast<std::uint8_t*>(buffer.data()), buffer.size()};
}

}  // namespace

Result<std::string_view> readClipboard(Runtime& runtime, std::span<char> buffer) {
    return readClipboardOfType(runtime, kPlainTextMimeType, buffer);
}

Result<std::string_view> readClipboardOfType(Runtime& runtime, std::string_view mimeType, std::span<char> buffer) {
    const Platform& platform = runtime.platform;
    std::size_t length = 0;
    if (hasSlot<&PlatformSlots::readClipboardData>(platform)) {
        length = TRY(callNeeded<&PlatformSlots::readClipboardData>(platform, mimeType, asByteSpan(buffer)));
    } else if (isPlainTextMimeType(mimeType)) {
        length = TRY(callNeeded<&PlatformSlots::readClipboard>(platform, buffer));
    } else {
        return fail(Error::UnsupportedService);
    }
    return answeredText(buffer, length);
}

Status writeClipboardData(Runtime& runtime, const ClipboardItem& item) {
    TRY(checkClipboardMimeType(item.mimeType));
    if (item.data.size() > kMaxClipboardWriteBytes) return fail(Error::ClipboardFieldTooLarge);
    const Platform& platform = runtime.platform;
    if (hasSlot<&PlatformSlots::writeClipboardData>(platform)) {
        return callNeeded<&PlatformSlots::writeClipboardData>(platform, item.mimeType, asBytes(item.data));
    }
    if (!isPlainTextMimeType(item.mimeType)) return fail(Error::UnsupportedService);
    return callNeeded<&PlatformSlots::writeClipboard>(platform, item.data);
}

Status checkClipboardMimeType(std::string_view mimeType) {
    if (mimeType.empty()) return fail(Error::InvalidClipboardOptions);
    if (mimeType.size() > kMaxClipboardMimeTypeBytes) return fail(Error::ClipboardFieldTooLarge);
    for (char c : mimeType) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x21 || byte == 0x7F || c == '\\') return fail(Error::InvalidClipboardOptions);
    }
    return {};
}

bool isPlainTextMimeType(std::string_view mimeType) { return mimeType == "text" || mimeType == kPlainTextMimeType; }

}  // namespace kelvo

#include "platform/macos/web/real_path.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "base/io.hpp"
#include "base/posix_io.hpp"

namespace kelvo {

Result<std::string_view> posixRealPath(std::string_view path, std::span<char> out) {
    if (path.size() >= kMaxIoPath) return fail(Error::NameTooLong);
    if (path.find('\0') != std::string_view::npos) return fail(Error::BadPathName);
    char terminated[kMaxIoPath];
    std::memcpy(terminated, path.data(), path.size());
    terminated[path.size()] = '\0';
    // With a null buffer realpath allocates one as long as the result needs.
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(terminated, nullptr), &std::free);
    if (!resolved) return fail(errorFromErrno(errno));
    std::size_t length = std::strlen(resolved.get());
    if (length > out.size()) return fail(Error::NameTooLong);
    std::memcpy(out.data(), resolved.get(), length);
    return std::string_view(out.data(), length);
}

}  // namespace kelvo

// Checks arbitrary links against the allow-list. Whatever it lets through must be an http or https
// link whose every byte is printable ASCII of the URL grammar and which names no user, so that an
// opener cannot read another host out of it; and it reaches the opener exactly when allowed.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "app/open_url.hpp"
#include "base/ascii.hpp"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

bool startsWithWord(std::string_view text, std::string_view lowerCaseWord) {
    return text.size() >= lowerCaseWord.size() &&
           kelvo::matchesLowerCaseWord(text.substr(0, lowerCaseWord.size()), lowerCaseWord);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view url(reinterpret_cast<const char*>(data), size);
    bool allowed = kelvo::externalUrlAllowed(url);
    int opened = 0;
    kelvo::WorkspaceOpener opener{&opened, [](void* context, std::string_view) {
                                      ++*static_cast<int*>(context);
                                      return true;
                                  }};
    check(kelvo::vostra_studio_open_url(opener, url.data(), url.size()) == allowed);
    check(opened == (allowed ? 1 : 0));
    if (!allowed) return 0;

    check(startsWithWord(url, "https://") || startsWithWord(url, "http://"));
    check(std::all_of(url.begin(), url.end(), [](char c) { return c > 0x20 && c < 0x7F && c != '\\'; }));
    std::string_view rest = url.substr(url.find("//") + 2);
    std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
    check(authority.find('@') == std::string_view::npos);
    return 0;
}

#pragma once

#include <string_view>

#include "platform/types/service_records.hpp"

namespace kelvo {

// Whether one external-link pattern admits `url`:
//  - "*" admits every URL;
//  - a pattern equal to the URL admits it (a "*" inside is then an ordinary byte);
//  - a pattern "<scheme>://<host>/<path>*", with the scheme "https" or "http" and a non-empty host
//    followed by a "/", admits every URL that begins with the pattern without its final "*".
// Any other pattern admits only the URL equal to it.
bool externalLinkPatternAdmits(std::string_view pattern, std::string_view url);

// Whether the security policy lets the bridge open `url`: its external-link action must be 1
// (open) and one of its patterns must admit the URL.
bool externalLinkAllowed(const SecurityPolicy& security, std::string_view url);

}  // namespace kelvo

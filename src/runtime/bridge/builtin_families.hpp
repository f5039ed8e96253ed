#pragma once

// The built-in "kelvo." command families: their prefixes, permission words, denial messages and
// dispatchers, and the decision whether a caller may use one. Private to the router.

#include <string_view>

#include "runtime/bridge/family.hpp"
#include "security/policy.hpp"

namespace kelvo {

struct Runtime;
struct SecurityPolicy;

struct BuiltinBridgeFamily {
    std::string_view prefix;      // compared byte for byte; a command equal to it belongs too
    std::string_view permission;  // the word the security policy must grant; empty: none
    std::string_view denial;      // the permission_denied message
    BridgeFamilyFn dispatch;      // null until the family is built
};

// The family whose prefix begins `command`, or null.
const BuiltinBridgeFamily* findBuiltinBridgeFamily(std::string_view command);

// Whether a page of `origin` may call `command` of `family`. While the built-in policy is
// enabled it alone decides. Otherwise, with the security checks on, the origin must be one of the
// security policy's origins, and a family with a permission word needs that word (or "window")
// granted when the security policy grants any words. With the checks off everything is permitted.
bool builtinBridgeCallPermitted(const Runtime& runtime, const BuiltinBridgeFamily& family, std::string_view command,
                                std::string_view origin);

// `policy` as the router evaluates it: its granted words replaced by the security policy's when
// those are not empty.
Policy effectiveBridgePolicy(const Policy& policy, const SecurityPolicy& security);

}  // namespace kelvo

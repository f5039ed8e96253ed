#include "security/policy.hpp"

namespace kelvo {

bool Policy::allows(std::string_view command, std::string_view origin) const {
    if (!enabled) return false;
    for (const BridgeCommandRule& rule : rules) {
        if (rule.command != command) continue;
        for (std::string_view word : rule.permissions) {
            if (!hasPermission(granted, word)) return false;
        }
        return rule.origins.empty() || allowsOrigin(rule.origins, origin);
    }
    return false;
}

bool hasPermission(StringList granted, std::string_view word) {
    for (std::string_view entry : granted) {
        if (entry == word) return true;
    }
    return false;
}

bool allowsOrigin(StringList origins, std::string_view origin) {
    for (std::string_view entry : origins) {
        if (entry == "*" || entry == origin) return true;
    }
    return false;
}

}  // namespace kelvo

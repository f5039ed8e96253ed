#pragma once

#include <span>
#include <string_view>

namespace kelvo {

// A list of byte strings (permission words, origins, link patterns) owned by compiled-in tables;
// policies copy only the list headers.
using StringList = std::span<const std::string_view>;

// Who may call one bridge command.
struct BridgeCommandRule {
    std::string_view command;  // the exact command name
    StringList permissions;    // words that must all be granted
    StringList origins;        // allowed page origins; "*" or an empty list allows any origin
};

// A table of command rules with the permission words granted to every caller.
struct Policy {
    StringList granted;
    std::span<const BridgeCommandRule> rules;
    bool enabled = false;  // a disabled policy allows nothing

    // Whether `origin` may call `command`: only the first rule naming the command is consulted;
    // all its words must be granted, and its origin list must be empty, hold "*" or hold `origin`.
    // Everything is compared byte for byte.
    [[nodiscard]] bool allows(std::string_view command, std::string_view origin) const;
};

// Whether `granted` holds `word`.
bool hasPermission(StringList granted, std::string_view word);

// Whether `origins` holds "*" or `origin`. Unlike a rule's list, an empty list allows nothing.
// (The application's SecurityPolicy record, whose origin list this checks, is part of the
// platform records: the platform receives it whole.)
bool allowsOrigin(StringList origins, std::string_view origin);

}  // namespace kelvo

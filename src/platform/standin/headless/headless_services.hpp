#pragma once

// What the headless system services hold and how the scripted user answers them. Tests set the
// answers and read the contents between host calls, on the main thread; what the host asked is
// in the backend's log.

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/standin/standin.hpp"

namespace kelvo::standin {

struct HeadlessServices {
    // The clipboard's items by type; a write replaces them all.
    std::map<ClipboardType, std::string> clipboard;
    bool clipboardRefusesWrites = false;
    // The serial number of the last plain-text write, and of the one the clipboard holds (0:
    // none). A test that fills the clipboard as another program does sets `clipboardHeldWrite` to 0
    // and counts the take in `clipboardTakes`.
    std::uint64_t clipboardTextWrites = 0;
    std::uint64_t clipboardHeldWrite = 0;
    std::uint64_t clipboardTakes = 0;
    // The claim whose text has not come yet (0: none); the clipboard is empty until it comes.
    std::uint64_t clipboardClaim = 0;
    // How a read of the text ends when set (a holder that never answers: no_answer); otherwise it
    // answers the text on the next turn of the loop. `clipboardReads` counts the reads begun, and
    // `clipboardRead` tells the one still going (0: none) from earlier ones.
    std::optional<ClipboardReadEnd> clipboardReadEnd;
    std::uint64_t clipboardReads = 0;
    std::uint64_t clipboardRead = 0;

    // Stored secrets by application, service and account.
    std::map<std::tuple<std::string, std::string, std::string>, std::string> keyring;
    bool keyringFails = false;

    // The user's answer to one dialog. The dialog stays open for `openNs` of virtual time, during
    // which the main loop runs its tasks and timers.
    struct DialogAnswer {
        std::vector<std::string> paths;  // open: the chosen paths; save: the first one
        int button = -1;                 // alert: the index pressed, -1 closes it otherwise
        std::uint64_t openNs = 0;
    };
    // One answer per dialog, in order; a dialog left without an answer is cancelled.
    std::deque<DialogAnswer> dialogAnswers;

    // The tag the user picks in each menu that pops up, in order; 0, none left, or an item that
    // is disabled or missing dismisses the menu.
    std::deque<std::uint32_t> menuChoices;
    std::vector<Menu> menuBar;

    std::vector<std::string> recentDocuments;  // this application's, oldest first
    bool revealWorks = true;

    struct StatusMenuItem {
        std::string title;
        std::uint32_t tag = 0;
        bool enabled = true;
        bool separator = false;
    };
    struct StatusItem {
        bool variableLength = false;
        bool hasImage = false;
        std::string title;
        std::string tooltip;
        std::vector<StatusMenuItem> menu;
        MenuChoice chosen;
    };
    std::optional<StatusItem> statusItem;
};

}  // namespace kelvo::standin

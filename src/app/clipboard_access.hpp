#pragma once

// How the application reaches the system clipboard's plain text: it takes the clipboard as of the
// moment the user asked for a copy and puts the text there once it has come (unless another program
// copied after the user asked), asks whether the clipboard still holds one of its copies, and reads
// whatever text the clipboard holds, of any length. Start-up fills the record in from the platform; tests record with
// it.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/error.hpp"

namespace kelvo {

// Told how a read of the clipboard's text ended: the text (valid only during the call), or why
// there is none.
struct ClipboardTextSink {
    void* context = nullptr;
    void (*done)(void* context, Result<std::string_view> text) = nullptr;
};

struct ClipboardAccess {
    void* context = nullptr;
    // A mark of the moment the user asked for what is done now: the key or click made `ageMs`
    // milliseconds ago (0: the user's latest key or click).
    std::uint64_t (*markTakes)(void* context, std::uint64_t ageMs) = nullptr;
    // Takes the clipboard for a plain text that comes later, as of the moment `mark` names, and
    // answers the claim's serial number; 0 when anything but this process's own writes took the
    // clipboard after that moment (the clipboard then stays as it is).
    Result<std::uint64_t> (*claimText)(void* context, std::uint64_t mark) = nullptr;
    // Puts `text` on the clipboard as the claim's plain text, every byte of it (NULs included);
    // false, and nothing written, when the clipboard no longer holds the claim.
    Result<bool> (*fillClaim)(void* context, std::uint64_t serial, std::string_view text) = nullptr;
    // Gives up a claim that will have no text.
    void (*dropClaim)(void* context, std::uint64_t serial) = nullptr;
    // The serial number of this process's claim or write that the clipboard still holds; 0 when
    // anything else (another program, another write of this process) replaced it since.
    std::uint64_t (*heldWrite)(void* context) = nullptr;
    // Starts reading the clipboard's plain text, every byte as the clipboard holds it (it may hold
    // NULs and bytes that are not UTF-8; empty when it holds no text), and tells `sink` once, on
    // the main thread, later or during the call. A text of more than `limit` bytes fails with
    // ClipboardFieldTooLarge, a holder that does not answer with ClipboardNotAnswering, a transfer
    // that breaks off with ClipboardTransferFailed, one that takes too long as a whole with
    // ClipboardTransferTooSlow. A read started while another goes on, and
    // cancelRead, end the one before without telling its sink.
    void (*readText)(void* context, std::size_t limit, ClipboardTextSink sink) = nullptr;
    void (*cancelRead)(void* context) = nullptr;
};

}  // namespace kelvo

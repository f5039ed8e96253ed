#pragma once

// How the application reaches the system clipboard's plain text: it writes a text whole, asks
// whether the clipboard still holds one of its writes, and reads whatever text the clipboard
// holds, of any length. Start-up fills the record in from the platform; tests record with it.

#include <cstdint>
#include <string_view>

#include "base/error.hpp"

namespace kelvo {

// Takes the clipboard's text while a read hands it over: `text` is valid only during the call.
struct ClipboardTextSink {
    void* context = nullptr;
    Status (*take)(void* context, std::string_view text) = nullptr;
};

struct ClipboardAccess {
    void* context = nullptr;
    // Puts `text` on the clipboard as plain text, every byte of it (NULs included; an empty text
    // empties the clipboard), and answers the serial number of that write (0 when none is known).
    Result<std::uint64_t> (*writeText)(void* context, std::string_view text) = nullptr;
    // The serial number of this process's write that the clipboard still holds; 0 when anything
    // else (another program, another write of this process) replaced it since.
    std::uint64_t (*heldWrite)(void* context) = nullptr;
    // Hands the clipboard's plain text to `sink`, every byte as the clipboard holds it (it may hold
    // NULs and bytes that are not UTF-8; empty when it holds no text), and answers what `take`
    // answered.
    Status (*readText)(void* context, ClipboardTextSink sink) = nullptr;
};

}  // namespace kelvo

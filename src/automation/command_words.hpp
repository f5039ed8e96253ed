#pragma once

// The lexical rules of automation command text, shared by the drain and the argument parsers.
// Private to src/automation.

#include <string_view>

namespace kelvo {

// Exactly space, TAB, LF and CR; every other byte (0x80 and above too) belongs to a word.
constexpr bool isCommandSpace(char byte) { return byte == ' ' || byte == '\t' || byte == '\n' || byte == '\r'; }

constexpr std::string_view trimCommandSpace(std::string_view text) {
    while (!text.empty() && isCommandSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isCommandSpace(text.back())) text.remove_suffix(1);
    return text;
}

// Takes the words of a trimmed text one at a time; what follows the last word taken is the rest.
class CommandWords {
public:
    explicit constexpr CommandWords(std::string_view text) : rest_(trimCommandSpace(text)) {}

    // The next word, or empty when none is left.
    constexpr std::string_view next() {
        std::size_t end = 0;
        while (end < rest_.size() && !isCommandSpace(rest_[end])) ++end;
        std::string_view word = rest_.substr(0, end);
        rest_ = trimCommandSpace(rest_.substr(end));
        return word;
    }
    // Everything after the words taken, trimmed; inner whitespace is kept.
    [[nodiscard]] constexpr std::string_view rest() const { return rest_; }
    [[nodiscard]] constexpr bool done() const { return rest_.empty(); }

private:
    std::string_view rest_;
};

}  // namespace kelvo

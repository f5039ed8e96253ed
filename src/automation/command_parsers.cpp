#include "automation/command_parsers.hpp"

#include <array>
#include <cmath>
#include <limits>
#include <optional>

#include "automation/command_words.hpp"
#include "base/ascii.hpp"
#include "base/number_text.hpp"

namespace kelvo {

namespace {

tl::unexpected<Error> invalid() { return fail(Error::InvalidCommand); }

// Decimal digits with an optional sign and '_' between digits; a '-' only before a zero.
std::optional<std::uint64_t> integerWord(std::string_view word, std::uint64_t max) {
    bool negative = false;
    if (!word.empty() && (word.front() == '+' || word.front() == '-')) {
        negative = word.front() == '-';
        word.remove_prefix(1);
    }
    if (word.empty() || word.front() == '_' || word.back() == '_') return std::nullopt;
    std::uint64_t value = 0;
    for (char byte : word) {
        if (byte == '_') continue;
        if (!isDecimalDigit(byte)) return std::nullopt;
        const auto digit = static_cast<std::uint64_t>(byte - '0');
        if (value > (max - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    if (negative && value != 0) return std::nullopt;
    return value;
}

std::optional<std::uint64_t> widgetIdWord(std::string_view word) {
    std::optional<std::uint64_t> id = integerWord(word, std::numeric_limits<std::uint64_t>::max());
    if (!id || *id == 0) return std::nullopt;
    return id;
}

// The nearest finite 32-bit float; a '+' may lead as well as a '-'.
std::optional<float> numberWord(std::string_view word) {
    if (word.size() > 1 && word.front() == '+' && word[1] != '-' && word[1] != '+') word.remove_prefix(1);
    ConvertedNumber<float> number = convertNearestF32(word);
    if (number.outcome != NumberConversion::converted || !std::isfinite(number.value)) return std::nullopt;
    return number.value;
}

// Words taken one after another; any failure sticks, so a parser checks once at the end.
class Words {
public:
    explicit Words(std::string_view text) : words_(text) {}

    std::string_view word() {
        std::string_view next = words_.next();
        if (next.empty()) ok_ = false;
        return next;
    }
    std::uint64_t widgetId() { return take(widgetIdWord(word())); }
    // The view label and widget id that widget commands begin with.
    void target(AutomationWidgetTarget& target) {
        target.view = word();
        target.widgetId = widgetId();
    }
    std::uint64_t integer(std::uint64_t max) { return take(integerWord(word(), max)); }
    float number() { return take(numberWord(word())); }
    [[nodiscard]] std::string_view rest() const { return words_.rest(); }
    [[nodiscard]] bool done() const { return words_.done(); }
    // Whether every word was there and well formed and, with `exact`, nothing follows.
    [[nodiscard]] bool ok(bool exact = true) const { return ok_ && (!exact || words_.done()); }

private:
    template <class T>
    T take(std::optional<T> value) {
        if (!value) ok_ = false;
        return value.value_or(T{});
    }

    CommandWords words_;
    bool ok_ = true;
};

enum class ArgumentRule : std::uint8_t { none, optional, required };

struct ActionForm {
    std::string_view word;  // lower case
    AutomationWidgetActionKind action;
    ArgumentRule argument;
};

using Kind = AutomationWidgetActionKind;
constexpr std::array<ActionForm, 20> kActionForms = {{
    {"focus", Kind::focus, ArgumentRule::none},
    {"press", Kind::press, ArgumentRule::none},
    {"toggle", Kind::toggle, ArgumentRule::none},
    {"increment", Kind::increment, ArgumentRule::none},
    {"decrement", Kind::decrement, ArgumentRule::none},
    {"set_text", Kind::set_text, ArgumentRule::optional},
    {"set-text", Kind::set_text, ArgumentRule::optional},
    {"set_selection", Kind::set_selection, ArgumentRule::required},
    {"set-selection", Kind::set_selection, ArgumentRule::required},
    {"set_composition", Kind::set_composition, ArgumentRule::optional},
    {"set-composition", Kind::set_composition, ArgumentRule::optional},
    {"commit_composition", Kind::commit_composition, ArgumentRule::none},
    {"commit-composition", Kind::commit_composition, ArgumentRule::none},
    {"cancel_composition", Kind::cancel_composition, ArgumentRule::none},
    {"cancel-composition", Kind::cancel_composition, ArgumentRule::none},
    {"select", Kind::select, ArgumentRule::none},
    {"drag", Kind::drag, ArgumentRule::optional},
    {"drop_files", Kind::drop_files, ArgumentRule::required},
    {"drop-files", Kind::drop_files, ArgumentRule::required},
    {"dismiss", Kind::dismiss, ArgumentRule::none},
}};

const ActionForm* actionForm(std::string_view word) {
    for (const ActionForm& form : kActionForms) {
        if (matchesLowerCaseWord(word, form.word)) return &form;
    }
    return nullptr;
}

// Applies one modifier word to the key record; false when the word is no modifier.
bool applyModifier(std::string_view word, AutomationWidgetKey& key) {
    if (matchesLowerCaseWord(word, "shift")) {
        key.shift = true;
    } else if (matchesLowerCaseWord(word, "ctrl") || matchesLowerCaseWord(word, "control")) {
        key.control = true;
    } else if (matchesLowerCaseWord(word, "alt") || matchesLowerCaseWord(word, "option")) {
        key.alt = true;
    } else if (matchesLowerCaseWord(word, "super") || matchesLowerCaseWord(word, "cmd") ||
               matchesLowerCaseWord(word, "meta")) {
        key.super = true;
        key.meta = true;
    } else {
        return false;
    }
    return true;
}

// Splits "mod+mod+key" into modifiers and the key name. A '+' that comes first or last is part of
// the key ("+" alone, "ctrl++"); an unknown modifier makes the whole text the key name.
void splitKeyCombination(std::string_view combination, AutomationWidgetKey& key) {
    std::string_view remaining = combination;
    for (;;) {
        const std::size_t plus = remaining.find('+');
        if (plus == std::string_view::npos || plus == 0 || plus + 1 == remaining.size()) break;
        if (!applyModifier(remaining.substr(0, plus), key)) {
            key.shift = key.control = key.alt = key.super = key.meta = false;
            key.key = combination;
            return;
        }
        remaining.remove_prefix(plus + 1);
    }
    key.key = remaining;
}

}  // namespace

Result<std::string_view> parseAutomationCommandName(std::string_view text) {
    std::string_view name = CommandWords(text).next();
    if (name.empty()) return invalid();
    return name;
}

Result<std::string_view> parseAutomationViewLabel(std::string_view text) {
    std::string_view label = trimCommandSpace(text);
    if (label.empty()) return invalid();
    return label;
}

Result<std::uint32_t> parseAutomationTrayItemId(std::string_view text) {
    Words words(text);
    const std::uint64_t id = words.integer(std::numeric_limits<std::uint32_t>::max());
    if (!words.ok() || id == 0) return invalid();
    return static_cast<std::uint32_t>(id);
}

Result<AutomationResizeCommand> parseAutomationResizeCommand(std::string_view text) {
    Words words(text);
    AutomationResizeCommand command;
    command.width = words.number();
    command.height = words.number();
    if (!words.done()) command.scale = words.number();
    if (!words.ok() || !(command.width > 0) || !(command.height > 0) || !(command.scale > 0)) return invalid();
    return command;
}

Result<AutomationNativeCommand> parseAutomationNativeCommand(std::string_view text) {
    Words words(text);
    AutomationNativeCommand command;
    command.name = words.word();
    command.payload = words.rest();
    if (!words.ok(false)) return invalid();
    return command;
}

Result<AutomationWidgetTarget> parseAutomationWidgetTarget(std::string_view text) {
    Words words(text);
    AutomationWidgetTarget target;
    words.target(target);
    if (!words.ok()) return invalid();
    return target;
}

Result<AutomationWidgetAction> parseAutomationWidgetAction(std::string_view text) {
    Words words(text);
    AutomationWidgetAction action;
    words.target(action);
    const ActionForm* form = actionForm(words.word());
    action.argument = words.rest();
    if (!words.ok(false) || form == nullptr) return invalid();
    if (form->argument == ArgumentRule::required && action.argument.empty()) return invalid();
    if (form->argument == ArgumentRule::none && !action.argument.empty()) return invalid();
    action.action = form->action;
    return action;
}

Result<AutomationWidgetContextMenuItem> parseAutomationWidgetContextMenuItem(std::string_view text) {
    Words words(text);
    AutomationWidgetContextMenuItem item;
    words.target(item);
    item.itemIndex = words.integer(std::numeric_limits<std::uint64_t>::max());
    if (!words.ok()) return invalid();
    return item;
}

Result<AutomationWidgetPointerDrag> parseAutomationWidgetPointerDrag(std::string_view text) {
    Words words(text);
    AutomationWidgetPointerDrag drag;
    words.target(drag);
    drag.startX = words.number();
    drag.endX = words.number();
    if (!words.done()) {
        drag.startY = words.number();
        drag.endY = words.number();
    }
    if (!words.ok()) return invalid();
    return drag;
}

Result<AutomationWidgetWheel> parseAutomationWidgetWheel(std::string_view text) {
    Words words(text);
    AutomationWidgetWheel wheel;
    words.target(wheel);
    wheel.delta = words.number();
    if (!words.ok()) return invalid();
    return wheel;
}

Result<AutomationWidgetKey> parseAutomationWidgetKey(std::string_view text) {
    Words words(text);
    AutomationWidgetKey key;
    key.view = words.word();
    const std::string_view combination = words.word();
    key.text = words.rest();
    if (!words.ok(false)) return invalid();
    splitKeyCombination(combination, key);
    return key;
}

Result<AutomationProvenanceTarget> parseAutomationProvenanceTarget(std::string_view text) {
    Words words(text);
    AutomationProvenanceTarget target;
    target.view = words.word();
    CommandWords lookahead(words.rest());
    if (lookahead.next() == "at") {
        (void)words.word();
        target.x = words.number();
        target.y = words.number();
        target.pointGiven = true;
    } else {
        target.widgetId = words.widgetId();
    }
    if (!words.ok()) return invalid();
    return target;
}

}  // namespace kelvo

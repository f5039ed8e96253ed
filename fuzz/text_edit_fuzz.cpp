// Sequences of text edits over arbitrary bytes: the text, its selection and composition, and the
// inserted texts come from the input. Each edit either fails with the state untouched or gives a
// text within the output buffer with its offsets inside it; valid UTF-8 stays valid, with its
// offsets on character starts.

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string>

#include "base/utf8.hpp"
#include "fuzz_input.hpp"
#include "text/text_metrics.hpp"
#include "widgets/text_edit.hpp"

namespace {

using namespace kelvo;

void check(bool condition) {
    if (!condition) std::abort();
}

// Inside the text; in valid UTF-8 also on character starts (stray continuation bytes of an invalid
// text may follow an inserted character and then count as part of it).
void checkRange(std::string_view text, const std::optional<WidgetTextRange>& range, bool valid) {
    if (!range) return;
    check(range->start <= text.size() && range->end <= text.size());
    if (valid)
        check(textCharStart(text, range->start) == range->start && textCharStart(text, range->end) == range->end);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzInput in{data, size};
    // Two buffers the text moves between; small ones make the output capacity bite.
    static std::array<std::array<char, 512>, 2> buffers;
    const std::size_t capacity = 1 + in.take<std::uint8_t>() * 2u;
    const std::size_t length = std::min<std::size_t>(in.take<std::uint8_t>(), std::min(in.size, capacity));
    std::memcpy(buffers[0].data(), in.data, length);
    in.data += length;
    in.size -= length;
    TextEditState state{{buffers[0].data(), length}, std::nullopt, std::nullopt};
    if (in.take<std::uint8_t>() & 1u)
        state.selection = WidgetTextRange{in.take<std::uint8_t>(), in.take<std::uint8_t>()};
    if (in.take<std::uint8_t>() & 1u)
        state.composition = WidgetTextRange{in.take<std::uint8_t>(), in.take<std::uint8_t>()};
    const bool wasValid = isValidUtf8(state.text);
    std::size_t current = 0;
    while (in.size > 0) {
        TextEditRequest request;
        request.kind = static_cast<TextEditKind>(in.take<std::uint8_t>() % (kTextEditKindCount + 1));
        request.first = in.take<std::uint16_t>();
        request.second = in.take<std::uint8_t>();
        request.flag = (in.take<std::uint8_t>() & 1u) != 0;
        const std::size_t inserted = std::min<std::size_t>(in.take<std::uint8_t>() % 16, in.size);
        const std::string text(reinterpret_cast<const char*>(in.data), inserted);
        in.data += inserted;
        in.size -= inserted;
        request.text = text;
        const std::size_t next = current ^ 1u;
        const auto after = applyTextEdit(state, request, std::span(buffers[next]).first(capacity));
        if (!after) continue;
        check(after->text.size() <= std::max(capacity, state.text.size()));
        if (wasValid) check(isValidUtf8(after->text));
        checkRange(after->text, after->selection, wasValid);
        checkRange(after->text, after->composition, wasValid);
        if (after->text.data() == buffers[next].data()) current = next;
        state = *after;
    }
    return 0;
}

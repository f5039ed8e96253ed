#pragma once

// Readers of single members of a bridge request's payload. They scan the payload in place on
// every call, return spans into it where they can, and write decoded strings only into the
// caller's scratch area; nothing is allocated.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "base/error.hpp"

namespace kelvo {

// Where decoded strings go. Each decoded string is appended at `used`, so several fields can be
// read one after the other into one area and all stay valid while the area lives.
struct PayloadScratch {
    std::span<char> bytes;
    std::size_t used = 0;
};

// The decoded text of the string member `name`.
//  - none: the member is missing, is not a string, holds a raw byte below 0x20, or uses an escape
//    other than \" \\ \/ \b \f \n \r \t and \u with four hex digits below 0x80;
//  - a span into `json` when the string has no escapes (the scratch area is not touched);
//  - a span into the scratch area when it has escapes;
//  - the error StringTooLong when the string is well-formed so far but its decoded text does not
//    fit in what is left of the scratch area. The caller answers its field's "too large" error.
// A failed read leaves the scratch area as it was. Bytes of 0x80 and above are copied unchanged.
Result<std::optional<std::string_view>> jsonStringField(std::string_view json, std::string_view name,
                                                        PayloadScratch& scratch);

// jsonStringField for a file's path or name, which may hold bytes that are not UTF-8: \udc80 to
// \udcff (hex digits in either case) also stand for the bytes 0x80 to 0xFF, as the application
// writes such bytes for the page (writeJsonStringOfBytes). No escape makes a byte below 0x80 that
// jsonStringField would not; any other \u at or above 0x80 still reads as none.
Result<std::optional<std::string_view>> jsonPathField(std::string_view json, std::string_view name,
                                                      PayloadScratch& scratch);

// jsonStringField for a field whose text has a limit: a decoded text that does not fit in the
// scratch area is the field's `tooLarge` error.
Result<std::optional<std::string_view>> readStringMember(std::string_view json, std::string_view name,
                                                         PayloadScratch& scratch, Error tooLarge);

// jsonPathField for a path or name whose text has a limit, as readStringMember.
Result<std::optional<std::string_view>> readPathMember(std::string_view json, std::string_view name,
                                                       PayloadScratch& scratch, Error tooLarge);

// The member `name` written as decimal digits only (leading zeros allowed) within the unsigned
// 64-bit range; none for anything else (missing, signs, points, exponents, quotes, overflow).
std::optional<std::uint64_t> jsonIntegerField(std::string_view json, std::string_view name);

// The member `name` written exactly as the literal true or false; none for anything else (a
// string "true", 1, null, a missing member).
std::optional<bool> jsonBoolField(std::string_view json, std::string_view name);

// How a number member read.
enum class NumberFieldState : std::uint8_t {
    absent,        // no such member
    malformed,     // bytes outside the accepted form, a text that does not convert, or not whole
    out_of_range,  // a well-formed number beyond the largest the target type holds (one too small to
                   // tell from zero reads as zero)
    present,
};

template <class T>
struct NumberField {
    NumberFieldState state = NumberFieldState::absent;
    T value{};

    [[nodiscard]] bool present() const { return state == NumberFieldState::present; }
};

// A frame or zoom number: the raw value must consist only of the bytes "0" to "9", "-" and "."
// (no exponent, no "+", no quotes) and convert as a whole to a finite 32-bit float.
NumberField<float> jsonPlainFloatField(std::string_view json, std::string_view name);

// A layer number: the raw value converted as a whole decimal number ("2", "2.0" and "1e2" pass;
// "+1", hexadecimal, quotes and non-finite words do not) that is whole and within the signed
// 32-bit range.
NumberField<std::int32_t> jsonWholeNumberField(std::string_view json, std::string_view name);

}  // namespace kelvo

#pragma once

// Lenient JSON value scanners. The bridge never builds a JSON tree: it checks a value by walking
// over it in place and remembers where it ended. Two families share one walk and differ only in
// their white space and how they fail:
//  - the request family (skipJsonValue, skipJsonContainer) reads the bridge request itself; its
//    white space is space, TAB, LF and CR, and it fails with InvalidRequest;
//  - the payload family (skipValueSpan, skipContainerSpan) reads payloads; its white space is
//    space and 0x09 to 0x0D, and it answers true or false.
// Both are lenient in the same exact ways: escapes inside strings are not checked, and a bare
// token passes when it is true, false, null or a number in the general float form (see
// isLenientNumber). Containers may nest kMaxJsonDepth deep; one level more fails the scan.

#include <cstddef>
#include <string_view>

#include "base/error.hpp"

namespace kelvo {

inline constexpr std::size_t kMaxJsonDepth = 512;

// Request family. `cursor` must stand on the value's first byte (white space before it is the
// caller's); on success it stands just after the value, on failure it is left unchanged.
Status skipJsonValue(std::string_view text, std::size_t& cursor);
// As skipJsonValue, for a container that must open with `open` and close with `close`
// ('[' and ']', or '{' and '}').
Status skipJsonContainer(std::string_view text, std::size_t& cursor, char open, char close);

// Payload family: the same contract with a true/false answer.
bool skipValueSpan(std::string_view text, std::size_t& cursor);
bool skipContainerSpan(std::string_view text, std::size_t& cursor, char open, char close);

// Whether a whole bare token is a number the scanners accept. Besides JSON numbers that is: a
// leading "+", leading zeros, a point with no digits on one side ("5.", ".5"), hexadecimal forms
// after "0x" or "0X" (with an optional point and a "p" exponent), "inf", "infinity" and "nan" in
// any letter case (each with an optional sign), and single underscores between two digits. A
// number beyond the largest finite 64-bit float is refused (one too small to tell from zero is
// accepted: it reads as zero), and so is an underscored number longer than kMaxUnderscoredNumber.
bool isLenientNumber(std::string_view token);
inline constexpr std::size_t kMaxUnderscoredNumber = 1024;

}  // namespace kelvo

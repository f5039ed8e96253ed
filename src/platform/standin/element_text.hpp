#pragma once

// Where the characters of a canvas widget's text stand when all that is known is the widget's
// frame and how many characters it holds: the characters are taken as spread evenly over the
// frame less an inset on each side (8% of the width, 4 to 12 points). Input methods place their
// candidates by it and assistive technology asks it which character lies under a point.
// Header-only: the backends beneath the host use it as the host does.

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "platform/standin/standin.hpp"

namespace kelvo::standin {

struct ElementTextSpread {
    double left = 0;    // where the first character starts, view points
    double usable = 1;  // the width the characters share
};

inline ElementTextSpread elementTextSpread(const RectD& frame) {
    const double inset = std::clamp(0.08 * frame.width, 4.0, 12.0);
    return {frame.x + inset, std::max(frame.width - 2 * inset, 1.0)};
}

// The character boundary nearest to `x` (view points) among `count` characters, 0 to `count`
// (halves away from 0); 0 for an empty frame, no characters or no number.
inline std::uint64_t elementCharacterIndexAt(const RectD& frame, std::uint64_t count, double x) {
    if (!(frame.width > 0) || !(frame.height > 0) || count == 0 || !std::isfinite(x)) return 0;
    const ElementTextSpread spread = elementTextSpread(frame);
    const double inside = std::clamp(x, spread.left, spread.left + spread.usable) - spread.left;
    const double index = std::round(inside / spread.usable * static_cast<double>(count));
    return std::min(static_cast<std::uint64_t>(std::max(index, 0.0)), count);
}

// The rectangle of characters [location, location + length) among `count` (at least one
// character wide, never less than a point), over the frame's full height; the range is taken as
// given, so clamp it first.
inline RectD elementCharacterRangeRect(const RectD& frame, std::uint64_t count, std::uint64_t location,
                                       std::uint64_t length) {
    const ElementTextSpread spread = elementTextSpread(frame);
    const double n = static_cast<double>(std::max<std::uint64_t>(count, 1));
    const double start = std::clamp(static_cast<double>(location) / n, 0.0, 1.0);
    const double end = std::clamp(
        (static_cast<double>(location) + static_cast<double>(std::max<std::uint64_t>(length, 1))) / n, 0.0, 1.0);
    return {spread.left + spread.usable * start, frame.y, std::max(spread.usable * (end - start), 1.0),
            std::max(frame.height, 1.0)};
}

}  // namespace kelvo::standin

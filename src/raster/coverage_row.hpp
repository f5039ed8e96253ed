#pragma once

// Private to raster/: one pixel row of the sweep, built from the inside spans of its four
// sub-scanlines and handed to a row sink in runs.

#include <array>
#include <cstddef>
#include <cstdint>

#include "raster/sweep.hpp"

namespace kelvo {

// One inside span of a sub-scanline, relative to the swept box: [a, b] and the pixel columns
// first .. end - 1 it touches.
struct CoverageSpan {
    float a;
    float b;
    std::int32_t first;
    std::int32_t end;
};

// A column where something happens in a row: the count of sub-scanlines that cover it and the
// columns after it whole changes by `delta`, and when `end` is set a span ends in it (its value is
// added up exactly).
struct CoverMark {
    std::int32_t column;
    std::int16_t delta;
    std::uint16_t end;
};

// A sub-scanline has at most 128 inside spans (two crossings each), a row four sub-scanlines.
inline constexpr std::size_t kRowSpanCapacity = 4 * kRasterCrossingCapacity / 2;
// A span gives at most three marks: its two end columns and the start of its whole columns.
inline constexpr std::size_t kRowMarkCapacity = 3 * kRowSpanCapacity;

// The row's working arrays: its spans, the marks of one sub-scanline, the marks of the row so far
// (merged from one array into the other), and the end columns with their exact values.
struct CoverageRowScratch {
    std::array<CoverageSpan, kRowSpanCapacity> spans;
    std::array<CoverMark, kRowMarkCapacity> sub_marks;
    std::array<CoverMark, kRowMarkCapacity> marks;
    std::array<CoverMark, kRowMarkCapacity> merged;
    std::array<std::int32_t, kRowMarkCapacity> ends;
    std::array<float, kRowMarkCapacity> values;
    std::array<float, kRasterMaxWidth + 8> row;  // a group of eight columns may start at the last
};

// Hands finished pieces of the row to the sink, clipped to the box columns [lo, hi).
struct CoverageRowSink {
    std::int32_t lo;
    std::int32_t hi;
    std::int32_t y;
    std::int32_t x0;  // the swept box's first column, in device pixels
    CoverageRowFn fn;
    void* context;
    const float* row;

    void values(std::int32_t from, std::int32_t to) const { hand(from, to, row + from); }
    void solid(std::int32_t from, std::int32_t to) const { hand(from, to, nullptr); }
    void hand(std::int32_t from, std::int32_t to, const float* coverage) const {
        std::int32_t start = from > lo ? from : lo;
        std::int32_t stop = to < hi ? to : hi;
        if (stop <= start) return;
        fn(context, y, x0 + start, coverage == nullptr ? nullptr : coverage + (start - from), stop - start);
    }
};

// The row's coverage is defined span by span: each span adds a quarter of its overlap with every
// pixel column it touches, in sub-scanline order and span order. Columns that spans cover whole
// only ever receive exact quarters, so their sum is a multiple of 0.25 whatever the order and goes
// out in runs; the columns around span ends are added up in that exact order, so the row is the
// same, bit for bit, as adding span by span.
struct CoverageRow {
    CoverageRowScratch* scratch;
    float width;  // of the swept box
    float left;   // the swept box's first column, in device pixels
    std::size_t span_count = 0;
    std::size_t sub_begin[5] = {};  // spans of sub-scanline k: [sub_begin[k], sub_begin[k + 1])

    void start() { span_count = 0; }
    void startSubScanline(int k) { sub_begin[k] = span_count; }
    void finish() { sub_begin[4] = span_count; }

    // Adds the inside span [start_x, end_x] in device pixels, clamped to the swept box; an empty
    // one adds nothing.
    void addSpan(float start_x, float end_x);

    // Hands the row to `row_fn`, clipped to the box columns [emit_lo, emit_hi): runs covered whole
    // on all four sub-scanlines without a coverage array, runs that no span touches not at all, the
    // rest as values.
    void emit(std::int32_t emit_lo, std::int32_t emit_hi, std::int32_t y, std::int32_t x0, CoverageRowFn row_fn,
              void* context);

private:
    void emitGroups(const CoverageRowSink& sink);
    void emitMarks(const CoverageRowSink& sink);
};

}  // namespace kelvo

#include "raster/coverage_row.hpp"

#include <algorithm>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kelvo {
namespace {

// Coverage is added up four columns at a time where the processor has vectors (every x86-64
// does): the same operations on each lane as on one column, so the same values. A lane outside a
// span gets a negative overlap, raised to zero: adding zero changes no value, so a span can be
// added over whole groups of four columns.
#if defined(__SSE2__)
using Quad = __m128;
inline Quad quadZero() { return _mm_setzero_ps(); }
inline Quad quadColumns(std::int32_t c) {
    return _mm_add_ps(_mm_set1_ps(static_cast<float>(c)), _mm_setr_ps(0.0f, 1.0f, 2.0f, 3.0f));
}
inline Quad quadLoad(const float* p) { return _mm_loadu_ps(p); }
inline void quadStore(float* p, Quad v) { _mm_storeu_ps(p, v); }
// value + max(min(b, column + 1) - max(a, column), 0) / 4 on each lane.
inline Quad quadAddSpan(Quad value, Quad column, const CoverageSpan& s) {
    Quad overlap = _mm_sub_ps(_mm_min_ps(_mm_set1_ps(s.b), _mm_add_ps(column, _mm_set1_ps(1.0f))),
                              _mm_max_ps(_mm_set1_ps(s.a), column));
    return _mm_add_ps(value, _mm_mul_ps(_mm_max_ps(overlap, _mm_setzero_ps()), _mm_set1_ps(0.25f)));
}
#else
struct Quad {
    float lane[4];
};
inline Quad quadZero() { return {}; }
inline Quad quadColumns(std::int32_t c) {
    auto f = static_cast<float>(c);
    return {{f, f + 1.0f, f + 2.0f, f + 3.0f}};
}
inline Quad quadLoad(const float* p) { return {{p[0], p[1], p[2], p[3]}}; }
inline void quadStore(float* p, Quad v) { std::copy(v.lane, v.lane + 4, p); }
inline Quad quadAddSpan(Quad value, Quad column, const CoverageSpan& s) {
    for (int i = 0; i < 4; ++i) {
        float c = column.lane[i];
        float overlap = std::min(s.b, c + 1.0f) - std::max(s.a, c);
        value.lane[i] += std::max(overlap, 0.0f) * 0.25f;
    }
    return value;
}
#endif

// The marks of the spans [begin, end) of one sub-scanline, in column order. Only a span's first
// column can be the previous span's last.
std::size_t subScanlineMarks(const CoverageSpan* spans, std::size_t begin, std::size_t end, CoverMark* out) {
    std::size_t n = 0;
    for (std::size_t i = begin; i < end; ++i) {
        const CoverageSpan& s = spans[i];
        if (n > 0 && out[n - 1].column == s.first) {
            out[n - 1].end = 1;
        } else {
            out[n++] = {s.first, 0, 1};
        }
        std::int32_t columns = s.end - s.first;
        if (columns >= 3) {
            out[n++] = {s.first + 1, 1, 0};
            out[n++] = {s.end - 1, -1, 1};
        } else if (columns == 2) {
            out[n++] = {s.end - 1, 0, 1};
        }
    }
    return n;
}

// Merges two mark lists in column order into `out`, joining marks at the same column.
std::size_t mergeMarks(const CoverMark* a, std::size_t a_count, const CoverMark* b, std::size_t b_count,
                       CoverMark* out) {
    std::size_t i = 0;
    std::size_t j = 0;
    std::size_t n = 0;
    while (i < a_count && j < b_count) {
        if (a[i].column < b[j].column) {
            out[n++] = a[i++];
        } else if (b[j].column < a[i].column) {
            out[n++] = b[j++];
        } else {
            CoverMark mark = a[i++];
            mark.delta = static_cast<std::int16_t>(mark.delta + b[j].delta);
            mark.end |= b[j++].end;
            out[n++] = mark;
        }
    }
    while (i < a_count) out[n++] = a[i++];
    while (j < b_count) out[n++] = b[j++];
    return n;
}

}  // namespace

void CoverageRow::addSpan(float start_x, float end_x) {
    float a = start_x - left;
    float b = end_x - left;
    a = a > 0.0f ? a : 0.0f;
    a = a < width ? a : width;
    b = b > 0.0f ? b : 0.0f;
    b = b < width ? b : width;
    if (!(b > a)) return;
    // a and b lie in 0 .. 8,192: truncation is the floor, and one more when it falls short the ceiling.
    auto first = static_cast<std::int32_t>(a);
    auto last = static_cast<std::int32_t>(b);
    if (static_cast<float>(last) < b) ++last;
    scratch->spans[span_count++] = {a, b, first, last};
}

void CoverageRow::emit(std::int32_t emit_lo, std::int32_t emit_hi, std::int32_t y, std::int32_t x0,
                       CoverageRowFn row_fn, void* context) {
    if (span_count == 0) return;
    CoverageRowSink sink{emit_lo, emit_hi, y, x0, row_fn, context, scratch->row.data()};
    std::size_t per_sub = sub_begin[1] - sub_begin[0];
    if (per_sub > 0 && sub_begin[2] - sub_begin[1] == per_sub && sub_begin[3] - sub_begin[2] == per_sub &&
        sub_begin[4] - sub_begin[3] == per_sub) {
        emitGroups(sink);
    } else {
        emitMarks(sink);
    }
}

// All four sub-scanlines have the same number of spans: span i of each forms group i, the usual
// row of a shape whose outline is smooth at this scale. A group covers whole the columns between
// the last column where one of its spans starts and the first where one ends, and nothing touches
// the columns between the last end of one group and the first start of the next. Everything else
// lies in windows, where the spans that can reach them are added up column by column, in
// sub-scanline order and span order: the exact values, from a few columns at the edges.
void CoverageRow::emitGroups(const CoverageRowSink& sink) {
    const CoverageSpan* spans = scratch->spans.data();
    float* row = scratch->row.data();
    std::size_t n = sub_begin[1] - sub_begin[0];
    const CoverageSpan* sub[4] = {spans + sub_begin[0], spans + sub_begin[1], spans + sub_begin[2],
                                  spans + sub_begin[3]};

    std::int32_t window_lo = 0;
    std::int32_t window_hi = -1;  // the window's last column
    std::size_t window_group = 0;
    // The window's values: the spans of groups window_group .. last, each over the columns it has
    // in the window. The row has room for the last group of four to run past the window.
    auto flushWindow = [&](std::size_t last) {
        if (window_hi - window_lo < 8) {
            Quad low = quadZero();
            Quad high = quadZero();
            Quad low_columns = quadColumns(window_lo);
            Quad high_columns = quadColumns(window_lo + 4);
            for (int k = 0; k < 4; ++k) {
                for (std::size_t g = window_group; g <= last; ++g) {
                    low = quadAddSpan(low, low_columns, sub[k][g]);
                    high = quadAddSpan(high, high_columns, sub[k][g]);
                }
            }
            quadStore(row + window_lo, low);
            quadStore(row + window_lo + 4, high);
        } else {
            std::fill(row + window_lo, row + window_hi + 4, 0.0f);
            for (int k = 0; k < 4; ++k) {
                for (std::size_t g = window_group; g <= last; ++g) {
                    const CoverageSpan& s = sub[k][g];
                    std::int32_t from = std::max(s.first, window_lo);
                    std::int32_t to = std::min(s.end - 1, window_hi);
                    for (std::int32_t c = from; c <= to; c += 4) {
                        quadStore(row + c, quadAddSpan(quadLoad(row + c), quadColumns(c), s));
                    }
                }
            }
        }
        sink.values(window_lo, window_hi + 1);
    };
    for (std::size_t g = 0; g < n; ++g) {
        std::int32_t start_lo = sub[0][g].first;
        std::int32_t start_hi = start_lo;
        std::int32_t end_lo = sub[0][g].end - 1;
        std::int32_t end_hi = end_lo;
        for (int k = 1; k < 4; ++k) {
            start_lo = std::min(start_lo, sub[k][g].first);
            start_hi = std::max(start_hi, sub[k][g].first);
            end_lo = std::min(end_lo, sub[k][g].end - 1);
            end_hi = std::max(end_hi, sub[k][g].end - 1);
        }
        if (g == 0) {
            window_lo = start_lo;
            window_hi = start_hi;
        } else if (start_lo > window_hi + 1) {
            // Untouched columns between the groups.
            flushWindow(g - 1);
            window_lo = start_lo;
            window_hi = start_hi;
            window_group = g;
        } else {
            window_hi = std::max(window_hi, start_hi);
        }
        if (end_lo > window_hi + 1) {
            // Columns every span of the group covers whole; no other span reaches them.
            flushWindow(g);
            sink.solid(window_hi + 1, end_lo);
            window_lo = end_lo;
            window_group = g;
        }
        window_hi = std::max(window_hi, end_hi);
    }
    flushWindow(n - 1);
}

// The general row: marks at every column where a span ends or where the count of sub-scanlines
// covering columns whole changes. Columns that spans cover whole only ever receive exact quarters,
// so their sum is a multiple of 0.25 whatever the order and is written in runs; the end columns
// are added up in the exact order of addition.
void CoverageRow::emitMarks(const CoverageRowSink& sink) {
    const CoverageSpan* spans = scratch->spans.data();
    CoverMark* sub_marks = scratch->sub_marks.data();
    CoverMark* marks = scratch->marks.data();
    CoverMark* merged = scratch->merged.data();
    std::int32_t* ends = scratch->ends.data();
    float* values = scratch->values.data();
    float* row = scratch->row.data();

    // The marks of each sub-scanline come in column order; the row's are their merge.
    std::size_t mark_count = subScanlineMarks(spans, sub_begin[0], sub_begin[1], marks);
    for (int k = 1; k < 4; ++k) {
        std::size_t sub_count = subScanlineMarks(spans, sub_begin[k], sub_begin[k + 1], sub_marks);
        if (sub_count == 0) continue;
        mark_count = mergeMarks(marks, mark_count, sub_marks, sub_count, merged);
        std::swap(marks, merged);
    }

    // The exact values of the end columns: every span that touches one, sub-scanline by
    // sub-scanline and span by span. Spans of one sub-scanline are ordered and do not overlap, so
    // one pass over the end columns serves them all.
    std::size_t end_count = 0;
    for (std::size_t i = 0; i < mark_count; ++i) {
        if (marks[i].end) ends[end_count++] = marks[i].column;
    }
    std::fill(values, values + end_count, 0.0f);
    for (int k = 0; k < 4; ++k) {
        std::size_t j = 0;
        for (std::size_t i = sub_begin[k]; i < sub_begin[k + 1]; ++i) {
            const CoverageSpan& s = spans[i];
            while (ends[j] < s.first) ++j;  // s.first is an end column
            for (std::size_t e = j; e < end_count && ends[e] < s.end; ++e) {
                auto column = static_cast<float>(ends[e]);
                values[e] += (std::min(s.b, column + 1.0f) - std::max(s.a, column)) * 0.25f;
            }
        }
    }

    // Between marks every column holds the same multiple of 0.25: a run covered whole is handed
    // alone, a run no span touches not at all. End columns take their exact values.
    std::int32_t at = marks[0].column;
    std::int32_t whole = 0;
    std::int32_t pending = -1;  // start of the values not yet handed over, if any
    std::size_t end_index = 0;
    for (std::size_t i = 0; i < mark_count; ++i) {
        std::int32_t column = marks[i].column;
        if (column > at) {
            if (whole == 4 || whole == 0) {
                if (pending >= 0) sink.values(pending, at);
                pending = -1;
                if (whole == 4) sink.solid(at, column);
            } else {
                if (pending < 0) pending = at;
                std::fill(row + at, row + column, static_cast<float>(whole) * 0.25f);
            }
            at = column;
        }
        whole += marks[i].delta;
        if (marks[i].end) {
            if (pending < 0) pending = at;
            row[at++] = values[end_index++];
        }
    }
    if (pending >= 0) sink.values(pending, at);
}

}  // namespace kelvo

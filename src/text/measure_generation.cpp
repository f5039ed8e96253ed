#include "text/measure_generation.hpp"

namespace kelvo {

std::atomic<std::uint64_t>& textMeasureGeneration() {
    static std::atomic<std::uint64_t> generation{0};
    return generation;
}

}  // namespace kelvo

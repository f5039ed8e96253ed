#pragma once

// The vector rasteriser as a whole: path building, stroking, and the edge accumulator with its
// coverage sweep.

#include "raster/path.hpp"
#include "raster/stroke.hpp"
#include "raster/sweep.hpp"

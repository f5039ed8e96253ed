#pragma once

// The GTK 3 backend of the stand-in layer, the one the program runs on. It serves the whole
// process: GTK is set up once (by `loop.open`, which fails without a display) and never torn
// down.

#include "platform/standin/standin.hpp"

namespace kelvo::standin {

StandIn& gtkStandIn();

}  // namespace kelvo::standin

#pragma once

// The GTK 3 backend of the stand-in layer, the one the program runs on. It serves the whole
// process: GTK is set up once (by `loop.open`, which fails without a display) and never torn
// down.

#include "platform/standin/standin.hpp"

namespace kelvo::standin {

StandIn& gtkStandIn();

// Players made afterwards play into a sink that keeps real time but makes no sound (tests, and
// machines without audio output); otherwise into the desktop's audio output.
void gtkAudioToFakeSink(bool on);

}  // namespace kelvo::standin

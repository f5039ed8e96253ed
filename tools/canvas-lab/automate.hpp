#pragma once

// kelvo-canvas-lab automate <tree file> <automation folder>
//
// The automation folder must be a folder the lab can list: otherwise the lab ends at once with the
// reason on standard error (status 1). It runs a runtime whose one window (sized to the tree's first root node) holds
// one canvas view, "canvas", showing the tree, with automation over the folder: command files dropped there
// ("command-<n>.txt") are run one a frame, and "snapshot.txt", "accessibility.txt" and
// "windows.txt" are rewritten after every change. Widget commands act on the tree's widgets,
// "screenshot canvas" writes "screenshot-canvas.png" and "provenance" answers in "provenance.txt". The lab ends once no
// command has waited for a second (an incomplete command file waits until it is five seconds old), or on SIGINT or
// SIGTERM.

#include <string_view>

namespace kelvo {

// The process exit status: 0 after a clean run.
int automate(std::string_view treePath, std::string_view folder);

}  // namespace kelvo

#pragma once

// kelvo-canvas-lab events <tree file> <script file>
//
// Replays an input script on the lab's scene (lab_scene.hpp) and prints, for each input, the
// script line and then, indented, the platform calls it made ("> ..."), the runtime events the
// application received, and what it changed that a user sees (focus, texts). The tests print
// their event goldens with the same code, so a golden can be replayed by hand.
//
// Script lines (blank lines and lines starting with '#' are skipped; options are name=value):
//   down|up|drag|move|wheel <x> <y> [options]    pointer input; wheel takes dx= and dy=
//   leave                                        the pointer left the view
//   key <name> [text="..."] [options]             key down; keyup <name> for key up
//   text "<text>"                                 typed text
//   clipboard "<text>"                            puts text on the platform clipboard
//   no-menus | drag-fails                         the platform has no context menus / refuses
//                                                 window drags as unsupported
// Input options: t=<ns> (else 1 s after the previous input), button=<n>, mods=<a,b> from
// primary, command, control, option, shift, label=<view label>, window=<id>.

#include <memory>
#include <string>
#include <string_view>

namespace kelvo {

struct InputReplay {
    std::string text;  // the printed lines
    bool ok = true;    // false when the tree or a script line could not be used (the last line says why)
};

InputReplay replayCanvasInputScript(std::string_view treeText, std::string_view scriptText);

// A scene built once and replayed many times (a fuzz target replays every input on one): each
// replay starts from the state the scene was built in, as if it were built anew.
struct InputReplayScene;
struct InputReplaySceneRelease {
    void operator()(InputReplayScene* scene) const;
};
using InputReplaySceneHandle = std::unique_ptr<InputReplayScene, InputReplaySceneRelease>;

// Null when the tree cannot be shown; `failure` then holds the printed reason.
InputReplaySceneHandle buildInputReplayScene(std::string_view treeText, InputReplay& failure);
InputReplay replayCanvasInputScript(InputReplayScene& scene, std::string_view scriptText);

// Makes the scene's rewinds restore only the pages a replay wrote (see runtime_rewind.hpp); for
// scenes replayed thousands of times. False when the system does not allow it (replays then
// compare the whole record, as without).
bool trackInputReplaySceneWrites(InputReplayScene& scene);

}  // namespace kelvo

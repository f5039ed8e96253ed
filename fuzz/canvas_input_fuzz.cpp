// Arbitrary sequences of pointer, wheel, key and text input on a canvas view of controls, text
// fields, surfaces and menus: no input may crash, trip a sanitizer or leave the refresh batch open.
// Every input is replayed on the same scene, put back as it was built before each replay.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_input.hpp"
#include "input_replay.hpp"

namespace {

constexpr const char* kTree =
    "column id=1 rect=0,0,400,400\n"
    "  row id=2 rect=0,0,400,30 window_drag_region=1\n"
    "    button id=4 rect=300,0,90,30 text=\"Close\" action=\"window.close\"\n"
    "  button id=10 rect=10,40,100,30 text=\"Save\" action=\"doc.save\"\n"
    "    @menu_item label=\"Rename\"\n"
    "  checkbox id=11 rect=120,40,100,30 text=\"Wrap\"\n"
    "  switch id=13 rect=120,80,60,30\n"
    "  select id=12 rect=230,40,100,30 text=\"Size\" action=\"size.open\"\n"
    "  button id=20 rect=10,80,90,30 text=\"Pop\"\n"
    "    popover id=21 rect=10,110,200,60 out_of_flow=1\n"
    "      text_field id=22 rect=10,120,180,30 text=\"in\"\n"
    "  scroll_view id=60 rect=220,120,150,70 content_extent=400\n"
    "    list_item id=61 rect=220,120,150,30 text=\"a\"\n"
    "    list_item id=62 rect=220,150,150,30 text=\"b\"\n"
    "  split_view id=70 rect=0,300,400,40\n"
    "    panel id=71 rect=0,300,195,40\n"
    "    split_divider id=72 rect=195,300,10,40\n"
    "    panel id=73 rect=205,300,195,40\n"
    "  text_field id=30 rect=10,200,200,30 text=\"hello world\"\n"
    "  text_area id=31 rect=10,240,200,50 text=\"a\\nb\"\n"
    "  slider id=40 rect=220,200,150,20 value=0.5\n"
    "  resizable_panel id=41 rect=220,230,100,40\n"
    "  chart id=42 rect=220,350,150,50 chart_interactive=1\n"
    "    @series kind=0 values=1,2,3\n";

constexpr const char* kKinds[] = {"down", "up", "leave", "move", "drag", "wheel", "key", "keyup", "text"};
constexpr const char* kKeys[] = {"tab", "escape", "enter", "space", "arrowleft", "arrowdown", "home",
                                 "end", "a",      "c",     "x",     "v",         "backspace", "pageup"};
constexpr const char* kMods[] = {"primary", "command", "control", "option", "shift"};
constexpr const char* kTexts[] = {"x", "\\t", "\\n", "hé", "\"\"", "long text here"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kelvo::fuzz::FuzzInput in{data, size};
    std::string script;
    for (int line = 0; line < 48 && in.size > 0; ++line) {
        const char* kind = kKinds[in.take<std::uint8_t>() % 9];
        script += kind;
        const std::string_view k = kind;
        if (k == "key" || k == "keyup") {
            script += ' ';
            script += kKeys[in.take<std::uint8_t>() % 14];
        } else if (k == "text") {
            script += " \"";
            script += kTexts[in.take<std::uint8_t>() % 6];
            script += '"';
        } else if (k != "leave") {
            char coords[64];
            std::snprintf(coords, sizeof coords, " %d %d", in.take<std::uint8_t>() * 2 - 50,
                          in.take<std::uint8_t>() * 2 - 50);
            script += coords;
        }
        const std::uint8_t options = in.take<std::uint8_t>();
        if (options & 1u) script += " button=" + std::to_string(in.take<std::uint8_t>() % 3);
        if (options & 2u) script += " dy=" + std::to_string(static_cast<int>(in.take<std::int8_t>()));
        if (options & 4u) script += std::string(" mods=") + kMods[in.take<std::uint8_t>() % 5];
        if (options & 8u) script += " t=" + std::to_string(in.take<std::uint32_t>());
        script += '\n';
    }
    // The scene is built once; every replay starts from the state it was built in.
    static const kelvo::InputReplaySceneHandle scene = [] {
        kelvo::InputReplay failure;
        kelvo::InputReplaySceneHandle built = kelvo::buildInputReplayScene(kTree, failure);
        if (!built) {
            std::fputs(failure.text.c_str(), stderr);
            std::abort();
        }
        // Replays then restore only the pages they wrote.
        (void)kelvo::trackInputReplaySceneWrites(*built);
        return built;
    }();
    const kelvo::InputReplay replay = kelvo::replayCanvasInputScript(*scene, script);
    if (!replay.ok || replay.text.find("! refresh batch left open") != std::string::npos) {
        std::fputs(replay.text.c_str(), stderr);
        std::abort();
    }
    return 0;
}

// kelvo-canvas-lab render <tree file> <png> [scale]
// kelvo-canvas-lab automate <tree file> <automation folder>
// kelvo-canvas-lab events <tree file> <script file>
//
// render: reads a widget tree in the tree text format, installs it as a canvas view would (the whole tree
// is checked first), draws its display list with the reference renderer at `scale` device pixels
// per point (default 1) over the tokens' background colour, with the lab's image (lab_image.hpp) in
// image widgets, and writes the PNG. The picture is as large as the tree's first root node.
//
// automate: see automate.hpp. events: see input_replay.hpp.

#include <charconv>
#include <cstdio>
#include <memory>
#include <string_view>
#include <vector>

#include "automate.hpp"
#include "base/io.hpp"
#include "base/posix_io.hpp"
#include "input_replay.hpp"
#include "lab_files.hpp"
#include "lab_image.hpp"
#include "render/reference_frame.hpp"
#include "tree_display_list.hpp"
#include "widgets/widget_tree_install.hpp"
#include "widgets/widget_tree_text.hpp"

namespace kelvo {
namespace {

int usage() {
    std::fputs(
        "usage: kelvo-canvas-lab render <tree file> <png> [scale]\n"
        "       kelvo-canvas-lab automate <tree file> <automation folder>\n"
        "       kelvo-canvas-lab events <tree file> <script file>\n",
        stderr);
    return 2;
}

Status writeWholeFile(const Io& io, std::string_view path, std::span<const std::uint8_t> bytes) {
    FileHandle file = TRY(ioCreateFile(io, path));
    Status written = ioWriteAll(io, file, bytes);
    Status closed = ioClose(io, file);
    if (!written) return written;
    return closed;
}

int render(std::string_view tree_path, std::string_view png_path, float scale) {
    Io io = posixIo();
    auto parsed = std::make_unique<WidgetTreeStorage>();
    if (!readTreeFile(io, tree_path, *parsed)) return 1;
    auto tree = std::make_unique<WidgetTreeStorage>();
    if (Status status = installWidgetTree(*tree, parsed->tree(), parsed->tokens); !status) {
        return labFailed("cannot install the tree of", tree_path, status.error());
    }
    if (tree->node_count == 0) return labFailed("no widgets in", tree_path, Error::InvalidWidgetTreeText);

    auto commands = treeDisplayList(*tree);
    if (!commands) return labFailed("cannot draw the widgets of", tree_path, commands.error());
    const Rect frame = normalizeRect(tree->nodes[0].rect);
    ReferenceFrameRequest request;
    request.commands = *commands;
    request.width = frame.x + frame.width;
    request.height = frame.y + frame.height;
    request.scale = scale;
    request.clear = tree->tokens.color(PaletteColor::background);
    static constexpr LabImagePixels kImage = labImagePixels();
    const ReferenceImage image{kLabImageId, kLabImageSide, kLabImageSide, kImage};
    request.images = {&image, 1};
    auto png = renderDisplayListPng(request);
    if (!png) return labFailed("cannot render", tree_path, png.error());
    if (Status status = writeWholeFile(io, png_path, png->bytes()); !status) {
        return labFailed("cannot write", png_path, status.error());
    }
    return 0;
}

int events(std::string_view treePath, std::string_view scriptPath) {
    const Io io = posixIo();
    Result<std::vector<std::uint8_t>> tree = readWholeFile(io, treePath);
    if (!tree) return labFailed("cannot read", treePath, tree.error());
    Result<std::vector<std::uint8_t>> script = readWholeFile(io, scriptPath);
    if (!script) return labFailed("cannot read", scriptPath, script.error());
    const auto text = [](const std::vector<std::uint8_t>& bytes) {
        return std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    };
    const InputReplay replay = replayCanvasInputScript(text(*tree), text(*script));
    std::fwrite(replay.text.data(), 1, replay.text.size(), stdout);
    return replay.ok ? 0 : 1;
}

}  // namespace
}  // namespace kelvo

int main(int argc, char** argv) {
    if (argc == 4 && std::string_view(argv[1]) == "automate") return kelvo::automate(argv[2], argv[3]);
    if (argc == 4 && std::string_view(argv[1]) == "events") return kelvo::events(argv[2], argv[3]);
    if (argc < 4 || argc > 5 || std::string_view(argv[1]) != "render") return kelvo::usage();
    float scale = 1.0f;
    if (argc == 5) {
        std::string_view text(argv[4]);
        auto parsed = std::from_chars(text.data(), text.data() + text.size(), scale);
        if (parsed.ec != std::errc{} || parsed.ptr != text.data() + text.size() || !(scale > 0.0f) ||
            !(scale <= 16.0f)) {
            std::fputs("kelvo-canvas-lab: the scale is a number above 0, at most 16\n", stderr);
            return 2;
        }
    }
    return kelvo::render(argv[2], argv[3], scale);
}

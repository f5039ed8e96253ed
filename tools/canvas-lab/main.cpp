// kelvo-canvas-lab render <tree file> <png> [scale]
//
// Reads a widget tree in the tree text format, installs it as a canvas view would (the whole tree
// is checked first), draws its display list with the reference renderer at `scale` device pixels
// per point (default 1) over the tokens' background colour, and writes the PNG. The picture is as
// large as the tree's first root node.

#include <charconv>
#include <cstdio>
#include <memory>
#include <string_view>
#include <vector>

#include "base/io.hpp"
#include "base/posix_io.hpp"
#include "render/reference_frame.hpp"
#include "tree_display_list.hpp"
#include "widgets/widget_tree_install.hpp"
#include "widgets/widget_tree_text.hpp"

namespace kelvo {
namespace {

constexpr std::uint64_t kMaxTreeFileBytes = 16u << 20;

int usage() {
    std::fputs("usage: kelvo-canvas-lab render <tree file> <png> [scale]\n", stderr);
    return 2;
}

int failed(std::string_view what, std::string_view path, Error error) {
    std::fprintf(stderr, "kelvo-canvas-lab: %.*s %.*s: %.*s\n", static_cast<int>(what.size()), what.data(),
                 static_cast<int>(path.size()), path.data(), static_cast<int>(errorName(error).size()),
                 errorName(error).data());
    return 1;
}

Result<std::vector<std::uint8_t>> readWholeFile(const Io& io, std::string_view path) {
    FileHandle file = TRY(ioOpenFile(io, path));
    auto read = [&]() -> Result<std::vector<std::uint8_t>> {
        FileStat stat = TRY(ioFileStat(io, file));
        if (stat.kind != FileKind::regular) return fail(Error::IsDir);
        if (stat.size > kMaxTreeFileBytes) return fail(Error::WidgetTextTooLarge);  // far more than a tree can hold
        std::vector<std::uint8_t> bytes(stat.size);
        std::size_t length = TRY(ioReadAllAt(io, file, bytes, 0));
        bytes.resize(length);
        return bytes;
    };
    auto bytes = read();
    (void)ioClose(io, file);
    return bytes;
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
    auto text = readWholeFile(io, tree_path);
    if (!text) return failed("cannot read", tree_path, text.error());

    auto parsed = std::make_unique<WidgetTreeStorage>();
    std::uint32_t line = 0;
    if (Status status = parseWidgetTreeText(asText(*text), *parsed, &line); !status) {
        std::fprintf(stderr, "kelvo-canvas-lab: %.*s:%u: %.*s\n", static_cast<int>(tree_path.size()), tree_path.data(),
                     line, static_cast<int>(errorName(status.error()).size()), errorName(status.error()).data());
        return 1;
    }
    auto tree = std::make_unique<WidgetTreeStorage>();
    if (Status status = installWidgetTree(*tree, parsed->tree(), parsed->tokens); !status) {
        return failed("cannot install the tree of", tree_path, status.error());
    }
    if (tree->node_count == 0) return failed("no widgets in", tree_path, Error::InvalidWidgetTreeText);

    auto commands = treeDisplayList(*tree);
    if (!commands) return failed("cannot draw the widgets of", tree_path, commands.error());
    const Rect frame = normalizeRect(tree->nodes[0].rect);
    ReferenceFrameRequest request;
    request.commands = *commands;
    request.width = frame.x + frame.width;
    request.height = frame.y + frame.height;
    request.scale = scale;
    request.clear = tree->tokens.color(PaletteColor::background);
    auto png = renderDisplayListPng(request);
    if (!png) return failed("cannot render", tree_path, png.error());
    if (Status status = writeWholeFile(io, png_path, png->bytes()); !status) {
        return failed("cannot write", png_path, status.error());
    }
    return 0;
}

}  // namespace
}  // namespace kelvo

int main(int argc, char** argv) {
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

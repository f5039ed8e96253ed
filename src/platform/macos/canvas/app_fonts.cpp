#include "platform/macos/canvas/app_fonts.hpp"

#include <array>
#include <string>
#include <vector>

#include "base/ascii_case.hpp"

namespace kelvo {

namespace {

constexpr std::uint64_t kMaxFontFileBytes = 64u << 20;
constexpr int kMaxFolderDepth = 16;

struct FolderWalk {
    FontRegistry& registry;
    const Io& io;
    std::size_t added = 0;
};

std::string joinPath(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (!path.empty() && path.back() != '/') path.push_back('/');
    path.append(name);
    return path;
}

bool addFontFile(FolderWalk& walk, const std::string& path, std::uint64_t size) {
    if (size == 0 || size > kMaxFontFileBytes) return false;
    Result<FileHandle> file = ioOpenFile(walk.io, path);
    if (!file) return false;
    std::vector<std::uint8_t> bytes(size);
    Result<std::size_t> read = ioReadAllAt(walk.io, *file, bytes, 0);
    (void)ioClose(walk.io, *file);
    if (!read || *read != size) return false;
    return addNamedCanvasFont(walk.registry, bytes);
}

void walkFolder(FolderWalk& walk, const std::string& folder, int depth) {
    std::vector<std::string> names;
    auto collect = [](void* context, std::string_view name) {
        static_cast<std::vector<std::string>*>(context)->emplace_back(name);
        return true;
    };
    if (!ioListFolder(walk.io, folder, &names, collect)) return;
    for (const std::string& name : names) {
        if (name.empty() || name.front() == '.') continue;
        std::string path = joinPath(folder, name);
        // Links are not followed into folders, so a link back up cannot make the walk endless.
        Result<FileStat> own = ioPathStat(walk.io, path, false);
        if (!own) continue;
        if (own->kind == FileKind::directory) {
            if (depth < kMaxFolderDepth) walkFolder(walk, path, depth + 1);
            continue;
        }
        Result<FileStat> target = own->kind == FileKind::symlink ? ioPathStat(walk.io, path, true) : own;
        if (target && target->kind == FileKind::regular && isFontFileName(name) &&
            addFontFile(walk, path, target->size)) {
            ++walk.added;
        }
    }
}

}  // namespace

bool isFontFileName(std::string_view name) {
    std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return false;
    std::string_view extension = name.substr(dot + 1);
    static constexpr std::array<std::string_view, 6> kExtensions = {"ttf", "otf", "ttc", "otc", "woff", "woff2"};
    for (std::string_view known : kExtensions) {
        if (equalsAsciiCaseless(extension, known)) return true;
    }
    return false;
}

std::size_t addApplicationFonts(FontRegistry& registry, const Io& io, std::string_view baseFolder) {
    if (baseFolder.empty()) return 0;
    FolderWalk walk{registry, io};
    for (std::string_view sub : {"fonts", "Fonts", "assets/fonts"}) {
        std::string folder = joinPath(baseFolder, sub);
        Result<FileStat> stat = ioPathStat(io, folder, true);
        if (stat && stat->kind == FileKind::directory) walkFolder(walk, folder, 0);
    }
    return walk.added;
}

}  // namespace kelvo

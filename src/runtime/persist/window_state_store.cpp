#include "runtime/persist/window_state_store.hpp"

#include <cmath>
#include <memory>

namespace kelvo {

namespace {

constexpr std::uint16_t kFolderMode = 0777;
constexpr std::uint16_t kFileMode = 0666;
constexpr std::string_view kTemporarySuffix = ".tmp";

std::span<std::uint8_t> asWritableBytes(std::span<char> text) {
    return {reinterpret_cast<std::uint8_t*>(text.data()), text.size()};
}

// Reads the old file's records into scratch.records (at most 16, labelled ones only).
void collectRecords(std::string_view text, WindowStateScratch& scratch) {
    scratch.records.clear();
    UnescapeBuffer unescape{scratch.unescape, 0};
    WindowStateScanner scanner{text};
    while (!scratch.records.full()) {
        auto record = nextWindowStateRecord(scanner);
        if (!record) break;
        auto label = parseStringField(*record, ".label", unescape);
        if (!label || label->empty()) continue;
        scratch.records.push(parseRecord(*record, *label, unescape));
    }
}

// Replaces the first record with the update's label (or its non-zero id), or appends it while
// there is room. Returns the update's index, or nothing when the full list had no match.
std::optional<std::size_t> mergeRecord(FixedVec<WindowStateRecord, kMaxWindowStateRecords>& records,
                                       const WindowStateRecord& update) {
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (records[i].label == update.label || (update.id != 0 && records[i].id == update.id)) {
            records[i] = update;
            return i;
        }
    }
    if (records.push(update) == nullptr) return std::nullopt;
    return records.size() - 1;
}

// Writes header, records and footer. The update (at `updateIndex`) always goes in; an old record
// that would leave no room for the rest is dropped rather than failing every later save.
Result<std::string_view> formatFile(const WindowStateScratch& scratch, std::optional<std::size_t> updateIndex,
                                    std::span<char> output) {
    BoundedWriter out(output);
    out.write(kWindowStateHeader);
    std::size_t reserved = kWindowStateFooter.size();
    std::size_t updateLength = 0;
    if (updateIndex) {
        std::size_t before = out.length();
        writeWindowStateRecord(out, scratch.records[*updateIndex]);
        if (out.overflowed() || out.remaining() < kWindowStateFooter.size()) return fail(Error::WriteFailed);
        updateLength = out.length() - before;
        out.truncate(before);
    }
    for (std::size_t i = 0; i < scratch.records.size(); ++i) {
        bool isUpdate = updateIndex && *updateIndex == i;
        bool updatePending = updateIndex && *updateIndex > i;
        std::size_t before = out.length();
        writeWindowStateRecord(out, scratch.records[i]);
        std::size_t needed = reserved + (updatePending ? updateLength : 0);
        if (!isUpdate && (out.overflowed() || out.remaining() < needed)) {
            out.truncate(before);
            out.clearOverflow();
        }
    }
    out.write(kWindowStateFooter);
    if (out.overflowed()) return fail(Error::WriteFailed);
    return out.text();
}

// Writes `text` to a temporary file beside `path`, syncs it and renames it over `path`. The
// temporary file is removed again on failure.
Status replaceFile(const Io& io, std::string_view path, std::string_view text) {
    InlineBytes<kWindowStatePathBytes + kTemporarySuffix.size()> temporary;
    if (!temporary.assign(path) || !temporary.append(kTemporarySuffix)) return fail(Error::NameTooLong);
    CreateFileFlags flags;
    flags.mode = kFileMode;
    flags.truncate = true;
    FileHandle file = TRY(ioCreateFile(io, temporary.view(), flags));
    Status written = ioWriteAll(io, file, asBytes(text));
    if (written) written = ioSync(io, file);
    Status closed = ioClose(io, file);
    if (written && !closed) written = closed;
    if (written) written = ioRename(io, temporary.view(), path);
    if (!written) (void)ioDeleteFile(io, temporary.view());
    return written;
}

}  // namespace

bool configureWindowStateStore(WindowStateStore& store, const Io& io, std::string_view folder) {
    store = WindowStateStore{};
    // No folder means the state folder did not resolve: the store stays off rather than writing
    // beside the file system root.
    if (folder.empty()) return false;
    WindowStateStore configured;
    configured.io = io;
    bool fits = configured.folder.assign(folder);
    if (fits && !folder.ends_with('/')) fits = configured.folder.append("/");
    fits = fits && configured.filePath.assign(configured.folder.view()) &&
           configured.filePath.append(kWindowStateFileName);
    if (!fits) return false;
    configured.enabled = true;
    store = configured;
    return true;
}

WindowStateScratch& windowStateScratch() {
    thread_local std::unique_ptr<WindowStateScratch> scratch;
    if (!scratch) scratch = std::make_unique<WindowStateScratch>();
    return *scratch;
}

Result<std::string_view> readWindowStateText(const Io& io, std::string_view path, std::span<char> buffer) {
    auto file = ioOpenFile(io, path, OpenFileFlags{});
    if (!file) {
        if (file.error() == Error::FileNotFound) return std::string_view{};
        return fail(file.error());
    }
    auto read = ioReadAllAt(io, *file, asWritableBytes(buffer), 0);
    (void)ioClose(io, *file);
    if (!read) return fail(read.error());
    return std::string_view(buffer.data(), *read);
}

Status saveWindowState(const WindowStateStore& store, const WindowStateRecord& update, WindowStateScratch& scratch) {
    if (!store.enabled || update.label.empty()) return {};
    TRY(ioMakePath(store.io, store.folder.view(), kFolderMode));
    std::string_view text = TRY(readWindowStateText(store.io, store.filePath.view(), scratch.text));
    collectRecords(text, scratch);
    std::optional<std::size_t> updateIndex = mergeRecord(scratch.records, update);
    std::string_view output = TRY(formatFile(scratch, updateIndex, scratch.output));
    return replaceFile(store.io, store.filePath.view(), output);
}

WindowStateRecord windowStateFromEvent(const WindowFrameChangedEvent& event, std::string_view label,
                                       std::string_view title) {
    WindowStateRecord record;
    record.id = event.windowId;
    record.label = label;
    record.title = title;
    record.open = event.open;
    record.focused = event.focused;
    record.x = event.frame.x;
    record.y = event.frame.y;
    record.width = event.frame.width;
    record.height = event.frame.height;
    record.scale = event.scale;
    record.maximized = event.maximized;
    record.fullscreen = event.fullScreen;
    return record;
}

std::optional<RestoredWindowFrame> readRestoredWindowFrame(const Io& io, std::string_view path, std::string_view label,
                                                           WindowStateScratch& scratch) {
    auto text = readWindowStateText(io, path, scratch.text);
    if (!text) return std::nullopt;
    UnescapeBuffer unescape{scratch.unescape, 0};
    WindowStateScanner scanner{*text};
    while (auto record = nextWindowStateRecord(scanner)) {
        auto recordLabel = parseStringField(*record, ".label", unescape);
        if (!recordLabel || *recordLabel != label) continue;
        WindowStateRecord state = parseRecord(*record, *recordLabel, unescape);
        bool usable = std::fabs(state.x) <= kMaxRestoredCoordinate && std::fabs(state.y) <= kMaxRestoredCoordinate &&
                      state.width > 0 && state.width <= kMaxRestoredCoordinate && state.height > 0 &&
                      state.height <= kMaxRestoredCoordinate;
        if (!usable) return std::nullopt;
        return RestoredWindowFrame{state.x, state.y, state.width, state.height};
    }
    return std::nullopt;
}

}  // namespace kelvo

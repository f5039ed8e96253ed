#include "debug/app_folders.hpp"

#include "base/bounded_writer.hpp"
#include "base/names.hpp"

namespace kelvo {

namespace {

// Appends `part`, with a "/" before it unless the text is empty or already ends in one.
void appendPart(BoundedWriter& out, std::string_view part) {
    if (out.length() > 0 && out.text().back() != '/') out.put('/');
    out.write(part);
}

}  // namespace

FolderEnv envFromMap(const EnvMap& env) {
    return FolderEnv{
        env.get("HOME"),
        env.get("XDG_CONFIG_HOME"),
        env.get("XDG_CACHE_HOME"),
        env.get("XDG_DATA_HOME"),
        env.get("XDG_STATE_HOME"),
        env.get("LOCALAPPDATA"),
        env.get("APPDATA"),
        env.get("TEMP"),
        env.get("TMP"),
        env.get("TMPDIR"),
    };
}

Result<std::string_view> resolveOne(const AppIdentity& identity, const FolderEnv& env, AppFolderKind kind,
                                    std::span<char, kAppFolderPathCapacity> buffer) {
    if (!isValidName(identity.name)) return fail(Error::InvalidAppName);
    for (const auto& further : identity.furtherNames) {
        if (further && !isValidName(*further)) return fail(Error::InvalidAppName);
    }
    if (!env.home) return fail(Error::MissingHome);

    BoundedWriter out(buffer);
    out.write(*env.home);
    appendPart(out, "Library");
    if (kind == AppFolderKind::logs) {
        appendPart(out, "Logs");
        appendPart(out, identity.name);
    } else {
        appendPart(out, "Application Support");
        appendPart(out, identity.name);
        appendPart(out, "State");
    }
    if (out.overflowed()) return fail(Error::NoSpaceLeft);
    return out.text();
}

}  // namespace kelvo

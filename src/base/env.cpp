#include "base/env.hpp"

#include <atomic>
#include <new>

namespace kelvo {

namespace {
std::atomic<const EnvMap*> gProcessEnv{nullptr};
}  // namespace

const EnvMap* processEnv() { return gProcessEnv.load(std::memory_order_acquire); }

void setProcessEnv(const EnvMap* env) { gProcessEnv.store(env, std::memory_order_release); }

Result<EnvMap> EnvMap::fromBlock(const char* const* block) {
    // The copy allocates; running out of memory here is reported, not thrown past the caller.
    try {
        EnvMap map;
        for (const char* const* entry = block; entry != nullptr && *entry != nullptr; ++entry) {
            std::string_view text(*entry);
            auto equals = text.find('=');
            if (equals == std::string_view::npos) continue;
            map.set(text.substr(0, equals), text.substr(equals + 1));
        }
        return map;
    } catch (const std::bad_alloc&) {
        return fail(Error::OutOfMemory);
    }
}

EnvMap EnvMap::fromList(std::initializer_list<std::pair<std::string_view, std::string_view>> entries) {
    EnvMap map;
    for (auto& [name, value] : entries) map.set(name, value);
    return map;
}

std::optional<std::string_view> EnvMap::get(std::string_view name) const {
    for (auto& [key, value] : entries_) {
        if (key == name) return std::string_view(value);
    }
    return std::nullopt;
}

void EnvMap::set(std::string_view name, std::string_view value) {
    for (auto& [key, existing] : entries_) {
        if (key == name) {
            existing.assign(value);
            return;
        }
    }
    entries_.emplace_back(std::string(name), std::string(value));
}

}  // namespace kelvo

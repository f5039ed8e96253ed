#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/error.hpp"

namespace kelvo {

// The process environment, copied once at start-up and passed to whoever reads it.
class EnvMap {
public:
    EnvMap() = default;

    // A copy of an environment block (`environ` for the process's own): "NAME=value" entries up
    // to a null entry, entries without "=" skipped. OutOfMemory when the copy cannot be made.
    static Result<EnvMap> fromBlock(const char* const* block);
    static EnvMap fromList(std::initializer_list<std::pair<std::string_view, std::string_view>> entries);

    // The value of `name`, or none when the variable is not present (present but empty is "").
    [[nodiscard]] std::optional<std::string_view> get(std::string_view name) const;
    [[nodiscard]] bool has(std::string_view name) const { return get(name).has_value(); }

    void set(std::string_view name, std::string_view value);

private:
    std::vector<std::pair<std::string, std::string>> entries_;
};

// The environment map start-up copied, for the few process-wide readers that have no other way to
// reach it; null until start-up sets it. The map must outlive every reader.
const EnvMap* processEnv();
void setProcessEnv(const EnvMap* env);

}  // namespace kelvo

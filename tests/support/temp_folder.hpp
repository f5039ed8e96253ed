#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace kelvo::testing {

// A fresh folder under the system's temporary folder, removed with everything in it afterwards.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kelvo-test-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempFolder() { std::filesystem::remove_all(path_); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    [[nodiscard]] std::string path(std::string_view name = "") const {
        return name.empty() ? path_ : path_ + "/" + std::string(name);
    }

private:
    std::string path_;
};

}  // namespace kelvo::testing

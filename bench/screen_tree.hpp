#pragma once

// The tree text of a 300-widget screen the canvas benchmarks draw: a sidebar list with icons, a
// toolbar of buttons and fields, a form of selection controls and labelled fields, a table of data
// rows and a status bar.

#include <cstdint>
#include <string>

namespace kelvo::bench {

inline std::string rect(float x, float y, float w, float h) {
    return " rect=" + std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(w) + "," + std::to_string(h);
}

// 300 widgets: 1 root, 4 regions and their content.
inline std::string screenTree() {
    static const char* const kIcons[] = {"folder", "file-text", "archive", "clock", "eye", "music"};
    std::uint64_t id = 1;
    std::string tree = "tokens pixel_scale=2 snap_geometry=1 snap_text=1\n";
    tree += "column id=" + std::to_string(id++) + rect(0, 0, 1280, 800) + "\n";
    tree += "  column id=" + std::to_string(id++) + rect(0, 0, 240, 772) + "\n";  // sidebar: 40 items
    for (int i = 0; i < 40; ++i) {
        tree += "    list_item id=" + std::to_string(id++) + rect(8, 8 + 30.0f * i, 224, 28) + " text=\"Item " +
                std::to_string(i) + "\"" + (i % 4 == 0 ? std::string(" icon=\"") + kIcons[i % 6] + "\"" : "") +
                (i == 3 ? " selected=1" : "") + "\n";
    }
    tree += "  row id=" + std::to_string(id++) + rect(248, 8, 1024, 32) + "\n";  // toolbar: 20 controls
    for (int i = 0; i < 20; ++i) {
        const float x = 248 + 50.0f * i;
        if (i % 5 == 4) {
            tree += "    search_field id=" + std::to_string(id++) + rect(x, 8, 48, 32) + " placeholder=\"Find\"\n";
        } else if (i % 3 == 0) {
            tree += "    icon_button id=" + std::to_string(id++) + rect(x, 8, 32, 32) + " icon=\"settings\"\n";
        } else {
            tree += "    button id=" + std::to_string(id++) + rect(x, 8, 48, 32) + " text=\"Act\"\n";
        }
    }
    tree += "  column id=" + std::to_string(id++) + rect(248, 48, 500, 700) + "\n";  // form: 100 controls
    for (int i = 0; i < 100; ++i) {
        const float y = 48 + 28.0f * (i / 4);
        const float x = 248 + 125.0f * (i % 4);
        static const char* const kKinds[] = {"checkbox", "switch", "text_field", "slider", "radio"};
        const char* kind = kKinds[i % 5];
        tree += std::string("    ") + kind + " id=" + std::to_string(id++) + rect(x, y, 120, 24) + " text=\"Field " +
                std::to_string(i) + "\" value=" + (i % 2 ? "0.7" : "0") + "\n";
    }
    tree += "  data_grid id=" + std::to_string(id++) + rect(760, 48, 512, 700) + " clips=1\n";  // table: 132
    for (int row = 0; id < 300; ++row) {
        const float y = 48 + 24.0f * static_cast<float>(row);
        tree += "    data_row id=" + std::to_string(id++) + rect(760, y, 512, 24) + "\n";
        for (int c = 0; c < 3 && id < 300; ++c) {
            tree += "      data_cell id=" + std::to_string(id++) + rect(760 + 170.0f * c, y, 170, 24) +
                    " text=\"cell\" insets=0,8,0,8\n";
        }
    }
    tree += "  status_bar id=" + std::to_string(id++) + rect(0, 772, 1280, 28) + " text=\"Ready\"\n";
    return tree;
}

}  // namespace kelvo::bench

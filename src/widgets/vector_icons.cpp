#include "widgets/vector_icons.hpp"

namespace kelvo {

const VectorIconEntry* findVectorIconEntry(std::string_view name) {
    for (const VectorIconEntry& entry : vectorIconEntries()) {
        if (entry.name == name) return &entry;
    }
    return nullptr;
}

const VectorIcon* lookupVectorIcon(std::string_view name) {
    if (isApplicationIconName(name)) return nullptr;
    const VectorIconEntry* entry = findVectorIconEntry(name);
    return entry != nullptr ? entry->icon : nullptr;
}

}  // namespace kelvo

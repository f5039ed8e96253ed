// The headless bundle: the resource folder is what the test says.

#include "platform/standin/headless/headless_state.hpp"

namespace kelvo::standin {

namespace {

std::optional<std::string> resourceFolder(void* self) { return headlessState(self).answers.resourceFolder; }

}  // namespace

BundleService headlessBundle() {
    BundleService bundle;
    KELVO_STANDIN_FILL(bundle, KELVO_STANDIN_BUNDLE_FUNCTIONS)
    return bundle;
}

}  // namespace kelvo::standin

#pragma once

#include "base/error.hpp"
#include "runtime/flow/app_binding.hpp"

namespace kelvo {

struct Runtime;

// Asks the binding for the current application source (its source callback, else its default
// source) and keeps a copy as the runtime's application source; the result refers to that copy.
// The callback's error, or WindowSourceTooLarge, leaves the previous application source in place.
Result<WindowSource> refreshAppSource(Runtime& runtime, const AppBinding& binding);

// Loads the application's web content again in every open window. The current source is asked
// of the binding's source callback (so a changed development server takes effect), else the
// binding's default source is taken; it becomes the application source. Every open window that
// has no source of its own, or that follows the application source, takes the new source and
// from then on follows it; then each open window's source is loaded, in table order.
//
// Errors: WebViewLayerNotBuilt; the callback's error; WindowSourceTooLarge; UnsupportedService
// when no loader fits (`loadWebView` serves only window 1); a loader's error. The first error
// ends the reload: windows reloaded before it stay reloaded and the application source stays
// replaced.
Status reloadWindows(Runtime& runtime, const AppBinding& binding);

}  // namespace kelvo

#pragma once

// Private to runtime/flow/: the work of each platform event kind and the small helpers the
// event flow's files have in common.

#include <initializer_list>
#include <optional>
#include <string_view>

#include "base/error.hpp"
#include "debug/trace.hpp"
#include "platform/types/platform_event.hpp"
#include "platform/types/runtime_event.hpp"
#include "runtime/flow/app_binding.hpp"
#include "runtime/flow/extensions.hpp"
#include "runtime/flow/runtime_trace.hpp"

namespace kelvo {

struct Runtime;

// A page event that could not be sent: its failure trace (message: the error's name). The loss is
// not a dispatch error; the event's work goes on.
void traceUnsentPageEvent(Runtime& runtime, std::string_view traceName, Error error,
                          std::initializer_list<TraceField> fields = {});

// The error policy of application-handler and canvas errors: recorded under `scope`, and handed
// back only when the runtime stops on handler errors.
Status recordUnlessStopping(Runtime& runtime, std::string_view scope, const Status& status);

// The context extension modules receive.
ModuleCallContext moduleCallContext(const Runtime& runtime);

// Lifecycle and appearance (lifecycle.cpp).
Status handleAppStart(Runtime& runtime, const AppBinding& binding);
Status handleAppShutdown(Runtime& runtime, const AppBinding& binding);
Status handleAppActivation(Runtime& runtime, const AppBinding& binding, bool active);
Status handleAppearanceChanged(Runtime& runtime, const AppBinding& binding, const AppearanceChangedEvent& event);

// Frames (frame.cpp).
Status handleFrameRequested(Runtime& runtime, const AppBinding& binding);

// Windows (window_events.cpp).
Status handleSurfaceResized(Runtime& runtime, const SurfaceResizedEvent& event);
Status handleWindowFrameChanged(Runtime& runtime, const AppBinding& binding, const WindowFrameChangedEvent& event);
Status handleWindowFocused(Runtime& runtime, const WindowFocusedEvent& event);

// Commands, timers, drops and bridge messages (commands.cpp).
Status handleBridgeMessageEvent(Runtime& runtime, const AppBinding& binding, const BridgeMessage& message);
Status handleTrayAction(Runtime& runtime, const AppBinding& binding, const TrayActionEvent& event);
Status handleShortcut(Runtime& runtime, const AppBinding& binding, const ShortcutEvent& event);
Status handleNativeCommand(Runtime& runtime, const AppBinding& binding, const NativeCommandEvent& event);
Status handleMenuCommand(Runtime& runtime, const AppBinding& binding, const MenuCommandEvent& event);
Status handleFilesDropped(Runtime& runtime, const AppBinding& binding, const FilesDroppedEvent& event);

// Canvas views, context menus, accessibility and audio (canvas.cpp).
Status handleGpuSurfaceFrame(Runtime& runtime, const AppBinding& binding, const GpuSurfaceFrame& frame);
Status handleGpuSurfaceInput(Runtime& runtime, const AppBinding& binding, const GpuSurfaceInput& input);
Status handleGpuSurfaceResized(Runtime& runtime, const AppBinding& binding, const GpuSurfaceResizedEvent& event);
Status handleGpuSurfaceScrollDriver(Runtime& runtime, const AppBinding& binding,
                                    const GpuSurfaceScrollDriverEvent& event);
Status handleContextMenuAction(Runtime& runtime, const AppBinding& binding, const ContextMenuActionEvent& event);
Status handleWidgetAccessibilityAction(Runtime& runtime, const AppBinding& binding,
                                       const WidgetAccessibilityActionEvent& event);

}  // namespace kelvo

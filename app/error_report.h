// Shows a failure to the user: the code's text, the suffix of its severity,
// the title as caption. A fatal report then closes the main window, so the
// normal exit sequence follows.
#pragma once

#include "app/app_error.h"
#include "app/render_app.h"

namespace app {

inline constexpr int kErrorTextSize = 512;  // bytes of the message text with its suffix

// Returns `code` unchanged, so a caller can report and pass the failure on.
Result report_error(RenderApp& app, Result code, ErrorSeverity severity);

}  // namespace app

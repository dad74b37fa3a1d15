#include "app/error_report.h"

#include <cstdio>

namespace app {

Result report_error(RenderApp& app, Result code, ErrorSeverity severity) {
    const char* suffix = "";
    uint32_t icon = platform::kBoxIconWarning;
    if (severity == kSeverityFatal) {
        suffix = kFatalSuffix;
        icon = platform::kBoxIconError;
    } else if (severity == kSeverityFallbackToReference) {
        suffix = kFallbackSuffix;
    }
    char text[kErrorTextSize];
    std::snprintf(text, sizeof text, "%s%s", app_error_text(code), suffix);
    ++app.own_boxes_shown;
    app.platform.message_boxes->show(0, text, app.title, platform::kBoxOk | icon);
    --app.own_boxes_shown;

    if (severity == kSeverityFatal && app.main_window != 0) {
        app.platform.windows->send_message(app.main_window, platform::kMsgClose, 0, 0);
    }
    return code;
}

}  // namespace app

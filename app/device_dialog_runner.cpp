#include "app/device_dialog_runner.h"

#include "app/device_lifecycle.h"
#include "app/error_report.h"
#include "app/render_app.h"

namespace app {

Result run_device_dialog(RenderApp& app) {
    if (!app.windowed && platform::failed(toggle_display_mode(app))) {
        report_error(app, kResetFailed, kSeverityFatal);
        return platform::kFail;
    }
    if (app.device_dialog == nullptr) return platform::kFail;
    if (app.device_dialog->run_modal(app) == kDialogOk && !app.frame_moving) {
        app.single_step = true;
        read_timer(app, kTimerStart);
        read_timer(app, kTimerStop);
    }
    return platform::kOk;
}

}  // namespace app

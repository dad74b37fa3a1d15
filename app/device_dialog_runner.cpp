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
    ++app.own_boxes_shown;
    const int32_t answer = app.device_dialog->run_modal(app);
    --app.own_boxes_shown;
    if (answer == kDialogOk && !app.frame_moving) {
        app.single_step = true;
        read_timer(app, kTimerStart);
        read_timer(app, kTimerStop);
    }
    return platform::kOk;
}

platform::NativeWindow dialog_owner(const RenderApp& app) {
    return app.dialog_owner != 0 ? app.dialog_owner : app.main_window;
}

}  // namespace app

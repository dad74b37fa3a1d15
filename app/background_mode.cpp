#include "app/background_mode.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <new>

#include "app/create.h"
#include "app/monitor_covers.h"
#include "app/monitor_layout.h"
#include "app/scene_device_states.h"
#include "settings/settings.h"
#include "sim/scene_setup.h"
#include "sim/scheduling.h"

namespace app {
namespace {

constexpr uint32_t kDarkWaitMilliseconds = 250;
constexpr double kLongestStepSeconds = 0.25;  // a longer pause does not make the fish jump

struct BackgroundFish {
    platform::NativeWindow window = 0;  // 0: a free slot
    uint32_t width = 0;                 // the surface's pixels the device was made for
    uint32_t height = 0;
    std::unique_ptr<CoverScene> scene;
    platform::GraphicsDevice* device = nullptr;
    platform::PresentParams params{};
    platform::SurfaceDesc back_buffer{};
};

double seconds_now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void release_fish(BackgroundFish& fish) {
    if (fish.device != nullptr) fish.device->release();
    fish = BackgroundFish{};
}

bool prepare_device(BackgroundFish& fish) {
    set_scene_device_states(*fish.device);
    return !platform::failed(fish.device->get_back_buffer_desc(fish.back_buffer));
}

// A device presenting into the surface at once (the compositor's frame
// callbacks pace it), the system's driver first, else the reference one.
bool create_device(platform::GraphicsSystem& graphics, BackgroundFish& fish) {
    platform::PresentParams& params = fish.params;
    params = platform::PresentParams{};
    params.back_buffer_width = fish.width;
    params.back_buffer_height = fish.height;
    params.back_buffer_format = platform::kFormatX8R8G8B8;
    params.back_buffer_count = 1;
    params.swap_effect = platform::kSwapEffectDiscard;
    params.device_window = fish.window;
    params.windowed = 1;
    params.enable_auto_depth_stencil = 1;
    params.auto_depth_stencil_format = platform::kFormatD16;
    params.presentation_interval = platform::kPresentIntervalImmediate;
    for (const platform::DeviceType type : {platform::kDeviceHal, platform::kDeviceRef}) {
        platform::GraphicsDevice* created = nullptr;
        if (!platform::failed(graphics.create_device(0, type, fish.window, platform::kCreateHardwareVertexProcessing,
                                                     params, &created)) &&
            created != nullptr) {
            fish.device = created;
            if (prepare_device(fish)) return true;
            created->release();
            fish.device = nullptr;
        }
    }
    return false;
}

class Background {
public:
    explicit Background(const BackgroundServices& services) : services_(services) {
        settings_ = settings::default_settings();
        if (services.settings != nullptr) settings::load_general_settings(*services.settings, settings_);
    }
    ~Background() {
        for (BackgroundFish& fish : fish_) release_fish(fish);
        if (graphics_ != nullptr) graphics_->release();
    }
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;

    int run() {
        graphics_ = services_.graphics->create(kGraphicsVersion);
        if (graphics_ == nullptr) {
            std::fprintf(stderr, "aquarium: no graphics device for the background\n");
            return 1;
        }
        double last = seconds_now();
        while (!services_.end_requested()) {
            if (!services_.surfaces->wait(0)) break;
            follow_surfaces();
            const double now = seconds_now();
            if (services_.power != nullptr && services_.power->read().display_dark) {
                // Nobody sees the fish: no frames, and their time stands still.
                last = now;
                if (!services_.surfaces->wait(kDarkWaitMilliseconds)) break;
                continue;
            }
            const double step = now - last;
            app_time_ += static_cast<float>(step < kLongestStepSeconds ? step : kLongestStepSeconds);
            last = now;
            if (!draw_all()) services_.surfaces->wait(kDarkWaitMilliseconds);  // nothing to draw on yet
        }
        return 0;
    }

private:
    // The fish follow the surfaces: new ones get a fish, gone ones lose it,
    // resized ones get their device reset.
    void follow_surfaces() {
        platform::BackgroundSurface surfaces[platform::kMaxBackgroundSurfaces];
        const uint32_t count = services_.surfaces->list(surfaces, platform::kMaxBackgroundSurfaces);
        for (BackgroundFish& fish : fish_) {
            if (fish.window == 0) continue;
            const platform::BackgroundSurface* found = nullptr;
            for (uint32_t i = 0; i < count; ++i) {
                if (surfaces[i].window == fish.window) found = &surfaces[i];
            }
            if (found == nullptr) {
                release_fish(fish);
            } else if (fish.device != nullptr && (found->width != fish.width || found->height != fish.height)) {
                fish.width = fish.params.back_buffer_width = found->width;
                fish.height = fish.params.back_buffer_height = found->height;
                if (platform::failed(fish.device->reset(fish.params)) || !prepare_device(fish)) release_fish(fish);
            }
        }
        for (uint32_t i = 0; i < count; ++i) {
            if (has_fish(surfaces[i].window)) continue;
            start_fish(surfaces[i]);
        }
    }

    bool has_fish(platform::NativeWindow window) const {
        for (const BackgroundFish& fish : fish_) {
            if (fish.window == window) return true;
        }
        return false;
    }

    void start_fish(const platform::BackgroundSurface& surface) {
        for (BackgroundFish& fish : fish_) {
            if (fish.window != 0) continue;
            fish.window = surface.window;
            fish.width = surface.width;
            fish.height = surface.height;
            fish.scene.reset(new (std::nothrow) CoverScene);
            if (fish.scene == nullptr || !create_device(*graphics_, fish)) {
                std::fprintf(stderr, "aquarium: no device for the background of %s\n", surface.output);
                fish.scene.reset();  // the slot stays taken: no second try every frame
                return;
            }
            CoverScene& scene = *fish.scene;
            sim::reset_records(scene.creature, scene.world);
            sim::setup_scene(scene.creature, scene.world, cover_seed(services_.seed, started_++));
            render::reset_renderer_state(scene.renderer);
            return;
        }
    }

    // One step and one frame for every fish; false when there was none.
    bool draw_all() {
        bool drawn = false;
        for (BackgroundFish& fish : fish_) {
            if (fish.device == nullptr || fish.scene == nullptr) continue;
            const platform::Result level = fish.device->test_cooperative_level();
            if (platform::failed(level)) {
                if (level == platform::kDeviceNotReset &&
                    (platform::failed(fish.device->reset(fish.params)) || !prepare_device(fish))) {
                    fish.device->release();
                    fish.device = nullptr;
                }
                continue;
            }
            CoverScene& scene = *fish.scene;
            sim::advance_frame(scene.creature, scene.world, app_time_);
            draw_cover_scene(scene, fish.device, fish.back_buffer, &settings_, 0);
            fish.device->present();
            drawn = true;
        }
        return drawn;
    }

    const BackgroundServices& services_;
    settings::Settings settings_{};
    platform::GraphicsSystem* graphics_ = nullptr;
    BackgroundFish fish_[platform::kMaxBackgroundSurfaces];
    uint32_t started_ = 0;  // fish started so far: the next one's number
    float app_time_ = 0.0f;
};

}  // namespace

int run_background(const BackgroundServices& services) {
    if (services.surfaces == nullptr || services.graphics == nullptr || services.end_requested == nullptr) return 1;
    auto background = std::make_unique<Background>(services);
    return background->run();
}

}  // namespace app

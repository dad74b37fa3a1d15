// The per-frame drawing: camera, tank, the fish's two eyes and two
// half-skins, a marker sphere behind the eye and the information text.
#pragma once

#include <cstdint>

#include "platform/graphics_device.h"
#include "platform/result.h"
#include "render/camera.h"
#include "render/information_text.h"
#include "render/tank_geometry.h"
#include "render/text_overlay.h"
#include "settings/settings.h"
#include "sim/records.h"

namespace render {

// The renderer's own state, kept for the life of the process (it survives
// device loss and reset).
struct RendererState {
    bool camera_started;     // the camera target has been placed at the start position
    CameraFollow camera;     // smoothed look-at point
    float near_plane;        // drawing units, computed every frame
    float far_plane;         // drawing units
    bool body_draw_started;  // the discarded random draw of the first drawn body has been made
    bool tank_built;         // `tank` holds the line geometry
    TankGeometry tank;
};

// Everything one frame reads. The settings' camera values are brought into
// range; one random number is drawn from world.random the first time the
// body is drawn. Nothing else is written.
struct FrameContext {
    platform::GraphicsDevice* device;  // draws the frame
    uint32_t back_buffer_width;        // pixels
    uint32_t back_buffer_height;       // pixels
    const sim::Creature* creature;
    sim::SimWorld* world;
    settings::Settings* settings;
    int32_t view_level;    // 0: eye at height 4, 1: at height 8
    TextOverlay* overlay;  // may be null: no text
    InformationText info;  // drawn while settings->d_show_info is set
};

// Starts the renderer's state: nothing built, camera not yet placed.
void reset_renderer_state(RendererState& state);

// Draws one frame. Returns success; also when the device refuses to begin
// the scene, in which case nothing is drawn. A context without its device,
// creature, world or settings draws nothing and fails.
platform::Result render_frame(const FrameContext& frame, RendererState& state);

}  // namespace render

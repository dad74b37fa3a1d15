#include "platform/egl/egl_graphics.h"
#include "platform/egl/egl_graphics_system.h"
#include "platform/egl/egl_headless_graphics.h"
#include "platform/gl/gl_device.h"

namespace platform {
namespace {

class WindowedFactory final : public GraphicsSystemFactory {
public:
    GraphicsSystem* create(uint32_t version) override {
        if (version != kGraphicsSystemVersion) return nullptr;
        return egl::EglGraphicsSystem::create_windowed();
    }
};

class OffscreenFactory final : public GraphicsSystemFactory {
public:
    GraphicsSystem* create(uint32_t version) override {
        if (version != kGraphicsSystemVersion) return nullptr;
        return egl::EglGraphicsSystem::create_offscreen(width_, height_);
    }
    void set_desktop(uint32_t width, uint32_t height) {
        width_ = width;
        height_ = height;
    }

private:
    uint32_t width_ = 1024;
    uint32_t height_ = 768;
};

}  // namespace

GraphicsSystemFactory* make_gl_graphics_system_factory() {
    static WindowedFactory factory;
    return &factory;
}

GraphicsSystemFactory* make_headless_graphics_system_factory(uint32_t desktop_width, uint32_t desktop_height) {
    static OffscreenFactory factory;
    factory.set_desktop(desktop_width, desktop_height);
    return &factory;
}

Result read_pixels(GraphicsDevice* device, uint8_t* rgba, uint32_t width, uint32_t height) {
    auto* gl_device = dynamic_cast<gl::GlDevice*>(device);
    if (gl_device == nullptr) return kInvalidCall;
    return gl_device->read_pixels(rgba, width, height);
}

uint64_t frames_presented(GraphicsDevice* device) {
    auto* gl_device = dynamic_cast<gl::GlDevice*>(device);
    return gl_device != nullptr ? gl_device->frames_presented() : 0;
}

}  // namespace platform

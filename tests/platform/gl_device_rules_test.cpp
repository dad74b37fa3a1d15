// The capability answers shared by the graphics systems over the OpenGL
// device (EGL on Linux, WGL on Windows).
#include "platform/gl/gl_device_rules.h"

#include <gtest/gtest.h>

#include "platform/gl/gl_formats.h"

namespace platform::gl {
namespace {

constexpr uint32_t kUsageRenderTarget = 0x1;
constexpr uint32_t kResourceTexture = 3;
constexpr uint32_t kResourceIndexBuffer = 7;

TEST(GlDeviceRules, BackBufferFitsItsDisplayFormatOrTheSameWithAlpha) {
    EXPECT_TRUE(back_buffer_fits_display(kFormatX8R8G8B8, kFormatX8R8G8B8));
    EXPECT_TRUE(back_buffer_fits_display(kFormatX8R8G8B8, kFormatA8R8G8B8));
    EXPECT_TRUE(back_buffer_fits_display(kFormatX1R5G5B5, kFormatA1R5G5B5));
    EXPECT_TRUE(back_buffer_fits_display(kFormatR5G6B5, kFormatR5G6B5));
    // Another depth, alpha on the display's side, or no display format.
    EXPECT_FALSE(back_buffer_fits_display(kFormatX8R8G8B8, kFormatR5G6B5));
    EXPECT_FALSE(back_buffer_fits_display(kFormatR5G6B5, kFormatA1R5G5B5));
    EXPECT_FALSE(back_buffer_fits_display(kFormatA8R8G8B8, kFormatA8R8G8B8));
    EXPECT_FALSE(back_buffer_fits_display(kFormatUnknown, kFormatUnknown));
}

TEST(GlDeviceRules, FormatsByUsageAndResource) {
    // Depth-stencil: only surfaces, only the depth formats the device has.
    EXPECT_EQ(check_format_rule(kFormatX8R8G8B8, kUsageDepthStencil, kResourceSurface, kFormatD16), kOk);
    EXPECT_EQ(check_format_rule(kFormatX8R8G8B8, kUsageDepthStencil, kResourceSurface, kFormatD24S8), kOk);
    EXPECT_EQ(check_format_rule(kFormatX8R8G8B8, kUsageDepthStencil, kResourceSurface, kFormatD32), kNotAvailable);
    EXPECT_EQ(check_format_rule(kFormatX8R8G8B8, kUsageDepthStencil, kResourceTexture, kFormatD16), kNotAvailable);
    // Render targets and textures.
    EXPECT_EQ(check_format_rule(kFormatX8R8G8B8, kUsageRenderTarget, kResourceSurface, kFormatA8R8G8B8), kOk);
    EXPECT_EQ(check_format_rule(kFormatX8R8G8B8, kUsageRenderTarget, kResourceSurface, kFormatD16), kNotAvailable);
    EXPECT_EQ(check_format_rule(kFormatX8R8G8B8, 0, kResourceTexture, kFormatA8R8G8B8), kOk);
    EXPECT_EQ(check_format_rule(kFormatX8R8G8B8, 0, kResourceTexture, kFormatD24S8), kNotAvailable);
    // Anything else: index buffers of 16 or 32 bits.
    EXPECT_EQ(check_format_rule(kFormatX8R8G8B8, 0, kResourceIndexBuffer, kFormatIndex16), kOk);
    EXPECT_EQ(check_format_rule(kFormatX8R8G8B8, 0, kResourceIndexBuffer, kFormatIndex32), kOk);
    EXPECT_EQ(check_format_rule(kFormatX8R8G8B8, 0, kResourceIndexBuffer, kFormatA8R8G8B8), kNotAvailable);
    // An adapter format no display has answers nothing.
    EXPECT_EQ(check_format_rule(kFormatA8R8G8B8, 0, kResourceTexture, kFormatA8R8G8B8), kNotAvailable);
    EXPECT_EQ(check_depth_stencil_rule(kFormatX8R8G8B8, kFormatA8R8G8B8, kFormatD24X8), kOk);
    EXPECT_EQ(check_depth_stencil_rule(kFormatX8R8G8B8, kFormatA8R8G8B8, kFormatD15S1), kNotAvailable);
    EXPECT_EQ(check_depth_stencil_rule(kFormatX8R8G8B8, kFormatD16, kFormatD16), kNotAvailable);
    EXPECT_EQ(check_depth_stencil_rule(kFormatA4R4G4B4, kFormatA8R8G8B8, kFormatD16), kNotAvailable);
}

// The rules answer from surface_formats.h, the device from its mapping onto
// OpenGL: both must name the same formats.
TEST(GlDeviceRules, TheRulesOfferTheFormatsTheDeviceMapsOntoOpenGL) {
    for (Format format = 0; format < 256; ++format) {
        EXPECT_EQ(is_texture_format(format), texture_format(format).supported) << format;
        EXPECT_EQ(is_depth_format(format), depth_renderbuffer_format(format) != 0) << format;
    }
}

TEST(GlDeviceRules, MultisampleTypesAreTheOfferedOnesUpToSixteen) {
    const uint32_t offered = (1u << 2) | (1u << 4) | (1u << 16);
    EXPECT_EQ(check_multisample_rule(kFormatX8R8G8B8, 0, 0), kOk);
    EXPECT_EQ(check_multisample_rule(kFormatX8R8G8B8, 4, offered), kOk);
    EXPECT_EQ(check_multisample_rule(kFormatX8R8G8B8, 16, offered), kOk);
    EXPECT_EQ(check_multisample_rule(kFormatX8R8G8B8, 3, offered), kNotAvailable);
    // Past 16 (and past the mask's width) is never offered.
    EXPECT_EQ(check_multisample_rule(kFormatX8R8G8B8, 17, 0xFFFFFFFFu), kNotAvailable);
    EXPECT_EQ(check_multisample_rule(kFormatX8R8G8B8, 0xFFFFFFFFu, 0xFFFFFFFFu), kNotAvailable);
    EXPECT_EQ(check_multisample_rule(kFormatD16, 0, offered), kNotAvailable);
}

TEST(GlDeviceRules, CapsAndCreationFlags) {
    const DeviceCaps hal = device_caps(1, kDeviceHal, 8192);
    EXPECT_EQ(hal.adapter_ordinal, 1u);
    EXPECT_EQ(hal.max_texture_width, 8192u);
    EXPECT_EQ(hal.max_texture_height, 8192u);
    EXPECT_NE(hal.caps2 & kCaps2CanRenderWindowed, 0u);
    EXPECT_NE(hal.dev_caps & kDevCapsPureDevice, 0u);
    const DeviceCaps ref = device_caps(0, kDeviceRef, 4096);
    EXPECT_EQ(ref.device_type, kDeviceRef);
    EXPECT_EQ(ref.dev_caps & kDevCapsPureDevice, 0u);
    EXPECT_NE(ref.dev_caps & kDevCapsHwTransformAndLight, 0u);

    EXPECT_TRUE(behaviour_accepted(kCreateHardwareVertexProcessing));
    EXPECT_TRUE(behaviour_accepted(kCreateHardwareVertexProcessing | kCreatePureDevice));
    EXPECT_TRUE(behaviour_accepted(kCreateSoftwareVertexProcessing));
    EXPECT_TRUE(behaviour_accepted(kCreateMixedVertexProcessing));
    EXPECT_FALSE(behaviour_accepted(0));
    EXPECT_FALSE(behaviour_accepted(kCreatePureDevice));
    EXPECT_FALSE(behaviour_accepted(kCreateSoftwareVertexProcessing | kCreatePureDevice));
    EXPECT_FALSE(behaviour_accepted(kCreateSoftwareVertexProcessing | kCreateHardwareVertexProcessing));
}

}  // namespace
}  // namespace platform::gl

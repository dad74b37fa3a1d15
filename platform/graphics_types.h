// Records and constants shared by the graphics system and the graphics
// device: formats, device types, capability bits, display modes,
// presentation parameters, lights, materials, matrices and the state
// identifiers the program sets. Numeric values are those the program's own
// logic compares and stores (formats and multisample types are persisted,
// compared as numbers and printed).
#pragma once

#include <cstdint>

namespace platform {

using NativeWindow = uintptr_t;  // window id; 0 is no window

// ---- the program's fixed capacities for what the graphics system offers ----
inline constexpr uint32_t kMaxAdapters = 10;
inline constexpr uint32_t kMaxDevices = 5;   // per adapter
inline constexpr uint32_t kMaxModes = 150;   // per device

// ---- surface formats ----
using Format = uint32_t;
inline constexpr Format kFormatUnknown = 0;
inline constexpr Format kFormatR8G8B8 = 20;
inline constexpr Format kFormatA8R8G8B8 = 21;
inline constexpr Format kFormatX8R8G8B8 = 22;
inline constexpr Format kFormatR5G6B5 = 23;
inline constexpr Format kFormatX1R5G5B5 = 24;
inline constexpr Format kFormatA1R5G5B5 = 25;
inline constexpr Format kFormatA4R4G4B4 = 26;
inline constexpr Format kFormatD32 = 71;
inline constexpr Format kFormatD15S1 = 73;
inline constexpr Format kFormatD24S8 = 75;
inline constexpr Format kFormatD24X8 = 77;
inline constexpr Format kFormatD24X4S4 = 79;
inline constexpr Format kFormatD16 = 80;
inline constexpr Format kFormatIndex16 = 101;
inline constexpr Format kFormatIndex32 = 102;

// ---- device types ----
using DeviceType = uint32_t;
inline constexpr DeviceType kDeviceHal = 1;  // the system's accelerated driver
inline constexpr DeviceType kDeviceRef = 2;  // the software reference rasteriser
inline constexpr DeviceType kDeviceSw = 3;

// ---- capability bits ----
inline constexpr uint32_t kCaps2CanRenderWindowed = 0x80000;      // DeviceCaps::caps2
inline constexpr uint32_t kDevCapsHwTransformAndLight = 0x10000;  // DeviceCaps::dev_caps
inline constexpr uint32_t kDevCapsPureDevice = 0x100000;          // DeviceCaps::dev_caps
inline constexpr uint32_t kMiscCapsNullReference = 0x1000;        // DeviceCaps::primitive_misc_caps
inline constexpr uint32_t kTextureCapsAlpha = 0x4;                // DeviceCaps::texture_caps
inline constexpr uint32_t kTextureCapsAlphaPalette = 0x80;        // DeviceCaps::texture_caps

// ---- device-creation behaviour ----
inline constexpr uint32_t kCreatePureDevice = 0x10;
inline constexpr uint32_t kCreateSoftwareVertexProcessing = 0x20;
inline constexpr uint32_t kCreateHardwareVertexProcessing = 0x40;
inline constexpr uint32_t kCreateMixedVertexProcessing = 0x80;

// ---- resource usage, pools, locks ----
inline constexpr uint32_t kUsageDepthStencil = 0x2;
inline constexpr uint32_t kUsageWriteOnly = 0x8;
inline constexpr uint32_t kUsageDynamic = 0x200;
inline constexpr uint32_t kResourceSurface = 1;
inline constexpr uint32_t kPoolDefault = 0;
inline constexpr uint32_t kPoolManaged = 1;
inline constexpr uint32_t kLockDiscard = 0x2000;
inline constexpr uint32_t kSwapEffectDiscard = 1;
// PresentParams::presentation_interval: the default waits for the display;
// immediate presents at once and leaves the pace to another device.
inline constexpr uint32_t kPresentIntervalDefault = 0;
inline constexpr uint32_t kPresentIntervalImmediate = 0x80000000u;
inline constexpr uint32_t kAdapterIdentifierNoWhql = 2;

// ---- vertex formats ----
inline constexpr uint32_t kFvfSceneVertex = 0x112;   // position, normal, one texture pair (32 bytes)
inline constexpr uint32_t kFvfScreenVertex = 0x144;  // transformed position + rhw, colour, one texture pair (28 bytes)

// ---- clearing ----
inline constexpr uint32_t kClearTarget = 1;
inline constexpr uint32_t kClearZBuffer = 2;
inline constexpr uint32_t kClearStencil = 4;

enum class PrimitiveType : uint32_t {
    LineList = 2,
    TriangleList = 4,
};

enum class TransformType : uint32_t {
    World = 256,
    View = 2,
    Projection = 3,
};

// Render states the program sets. Values are the program's own names, not
// numbers that are stored anywhere.
enum class RenderState : uint32_t {
    ZEnable,
    FillMode,
    ShadeMode,
    ZWriteEnable,
    AlphaTestEnable,
    SrcBlend,
    DestBlend,
    CullMode,
    ZFunc,
    AlphaRef,
    AlphaFunc,
    DitherEnable,
    AlphaBlendEnable,
    FogEnable,
    SpecularEnable,
    FogColor,
    FogTableMode,
    FogStart,        // value: the bits of a 32-bit float
    FogEnd,          // value: the bits of a 32-bit float
    FogDensity,      // value: the bits of a 32-bit float
    EdgeAntialias,
    RangeFogEnable,
    StencilEnable,
    Clipping,
    Lighting,
    Ambient,         // value: 0x00RRGGBB
    FogVertexMode,
    NormalizeNormals,
    VertexBlend,
    ClipPlaneEnable,
    IndexedVertexBlendEnable,
    Count
};

// Values of render states.
inline constexpr uint32_t kCullNone = 1;
inline constexpr uint32_t kCullClockwise = 2;
inline constexpr uint32_t kCullCounterClockwise = 3;
inline constexpr uint32_t kFillSolid = 3;
inline constexpr uint32_t kShadeGouraud = 2;
inline constexpr uint32_t kBlendSourceAlpha = 5;
inline constexpr uint32_t kBlendInverseSourceAlpha = 6;
inline constexpr uint32_t kCompareLessEqual = 4;
inline constexpr uint32_t kCompareGreaterEqual = 7;
inline constexpr uint32_t kFogNone = 0;
inline constexpr uint32_t kFogLinear = 3;

enum class TextureStageState : uint32_t {
    ColorOp,
    ColorArg1,
    ColorArg2,
    AlphaOp,
    AlphaArg1,
    AlphaArg2,
    MinFilter,
    MagFilter,
    MipFilter,
    AddressU,
    AddressV,
    TexCoordIndex,
    TextureTransformFlags,
    Count
};

// Values of texture-stage states.
inline constexpr uint32_t kTextureOpDisable = 1;
inline constexpr uint32_t kTextureOpSelectArg1 = 2;
inline constexpr uint32_t kTextureOpModulate = 4;
inline constexpr uint32_t kTextureArgDiffuse = 0;
inline constexpr uint32_t kTextureArgCurrent = 1;
inline constexpr uint32_t kTextureArgTexture = 2;
inline constexpr uint32_t kFilterNone = 0;
inline constexpr uint32_t kFilterPoint = 1;
inline constexpr uint32_t kFilterLinear = 2;
inline constexpr uint32_t kAddressWrap = 1;

inline constexpr uint32_t kLightDirectional = 3;

// ---- records ----

struct DisplayMode {
    uint32_t width;         // pixels
    uint32_t height;        // pixels
    uint32_t refresh_rate;  // Hz; 0 when unknown or not asked for
    Format format;
};

struct AdapterIdentifier {
    char driver[512];       // driver name
    char description[512];  // shown in the dialog and the device description
    uint64_t driver_version;
    uint32_t vendor_id;
    uint32_t device_id;
    uint32_t subsys_id;
    uint32_t revision;
};

struct DeviceCaps {
    DeviceType device_type;
    uint32_t adapter_ordinal;
    uint32_t caps2;                // kCaps2* bits
    uint32_t dev_caps;             // kDevCaps* bits
    uint32_t primitive_misc_caps;  // kMiscCaps* bits
    uint32_t texture_caps;         // kTextureCaps* bits
    uint32_t max_texture_width;    // texels
    uint32_t max_texture_height;   // texels
};

struct PresentParams {
    uint32_t back_buffer_width;   // pixels
    uint32_t back_buffer_height;  // pixels
    Format back_buffer_format;
    uint32_t back_buffer_count;
    uint32_t multisample_type;    // 0 none, 2..16 samples
    uint32_t swap_effect;
    NativeWindow device_window;
    uint32_t windowed;            // 1: present into the window, 0: full screen
    uint32_t enable_auto_depth_stencil;
    Format auto_depth_stencil_format;
    uint32_t flags;
    uint32_t fullscreen_refresh_rate;
    uint32_t presentation_interval;  // kPresentInterval*
};

struct SurfaceDesc {
    Format format;
    uint32_t type;
    uint32_t usage;
    uint32_t pool;
    uint32_t size;
    uint32_t multisample_type;
    uint32_t width;   // pixels
    uint32_t height;  // pixels
};

struct ColorValue {
    float r, g, b, a;  // 0..1
};

struct Vector3f {
    float x, y, z;
};

struct Light {
    uint32_t type;  // kLightDirectional
    ColorValue diffuse;
    ColorValue specular;
    ColorValue ambient;
    Vector3f position;
    Vector3f direction;  // drawing frame (y up, left-handed)
    float range;
    float falloff;
    float attenuation0, attenuation1, attenuation2;
    float theta, phi;
};

struct Material {
    ColorValue diffuse;
    ColorValue ambient;
    ColorValue specular;
    ColorValue emissive;
    float power;
};

// Row-major 4x4 matrix for row vectors (v' = v * M), left-handed.
struct Matrix4 {
    float m[4][4];
};

struct LockedRect {
    int32_t pitch;  // bytes per row
    void* bits;     // first texel
};

}  // namespace platform

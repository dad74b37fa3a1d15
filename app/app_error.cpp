#include "app/app_error.h"

namespace app {

namespace {

struct ErrorText {
    Result code;
    const char* text;
};

constexpr ErrorText kErrorTexts[] = {
    {kNoDirect3D,
     "Could not initialize Direct3D. You may\nwant to check that the latest version of\nDirectX is correctly "
     "installed on your\nsystem.  Also make sure that this program\nwas compiled with header files that match\n"
     "the installed DirectX DLLs."},
    {kNoUsableDevice, "Could not find any compatible Direct3D\ndevices."},
    {kDesktopModeUnusable,
     "This sample cannot run in a desktop\nwindow with the current display settings.\nPlease change your desktop "
     "settings to a\n16- or 32-bit display mode and re-run this\nsample."},
    {kNoHardwareDevice, "No hardware-accelerated Direct3D devices\nwere found."},
    {kHardwareLacksFeatures, "This sample requires functionality that is\nnot available on your Direct3D hardware\naccelerator."},
    {kHardwareCannotWindow,
     "Your Direct3D hardware accelerator cannot\nrender into a window.\nPress F2 while the app is running to see a\n"
     "list of available devices and modes."},
    {kHardwareCannotUseDesktop,
     "Your Direct3D hardware accelerator cannot\nrender into a window with the current\ndesktop display settings.\n"
     "Press F2 while the app is running to see a\nlist of available devices and modes."},
    {kHardwareLacksFeaturesInMode,
     "This sample requires functionality that is\nnot available on your Direct3D hardware\naccelerator with the "
     "current desktop display\nsettings.\nPress F2 while the app is running to see a\nlist of available devices "
     "and modes."},
    {kObjectsStillReferenced,
     "A D3D object has a non-zero reference\ncount (meaning things were not properly\ncleaned up)."},
    {kMediaMissing, "Could not load required media."},
    {kResetFailed, "Could not reset the Direct3D device."},
    {kReferenceDeviceStub,
     "Warning: Nothing will be rendered.\nThe reference rendering device was selected, but your\ncomputer only has "
     "a reduced-functionality reference device\ninstalled.  Install the DirectX SDK to get the full\nreference "
     "device.\n"},
    {platform::kOutOfMemory, "Not enough memory."},
    {platform::kOutOfVideoMemory, "Not enough video memory."},
};

constexpr const char* kGenericText = "Generic application error. Enable\ndebug output for detailed information.";

}  // namespace

const char* app_error_text(Result code) {
    for (const ErrorText& entry : kErrorTexts) {
        if (entry.code == code) return entry.text;
    }
    return kGenericText;
}

}  // namespace app

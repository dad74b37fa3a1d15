// A stand-in for the screen-saver settings of Windows in the end-to-end
// tests: a window of 320 x 240 client pixels whose handle it prints
// (decimal, one line). With "front" it then brings its window to the front,
// as a program the user switches to does. Whenever its window is disabled or
// enabled it says so ("disabled under TITLE" with the title of the window it
// then owns, or "enabled"). Two seconds before the end it prints what child
// window it holds ("child CLASS WIDTHxHEIGHT visible|hidden", or "no
// child"); after the given number of seconds it destroys its window and
// ends.
//     preview_host.exe SECONDS [front]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr UINT_PTR kReportTimer = 1;
constexpr UINT_PTR kEndTimer = 2;

struct OwnedSearch {
    HWND owner;
    char title[128];
};

BOOL CALLBACK find_owned(HWND window, LPARAM search_address) {
    auto* search = reinterpret_cast<OwnedSearch*>(search_address);
    if (GetWindow(window, GW_OWNER) != search->owner) return TRUE;
    GetWindowTextA(window, search->title, sizeof search->title);
    return FALSE;
}

LRESULT CALLBACK host_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_ENABLE) {
        if (wparam != 0) {
            std::printf("enabled\n");
        } else {
            // The window that disables its owner exists by then (it may not
            // be shown yet).
            OwnedSearch search{window, "(none)"};
            EnumWindows(&find_owned, reinterpret_cast<LPARAM>(&search));
            std::printf("disabled under %s\n", search.title);
        }
        std::fflush(stdout);
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

void report_child(HWND host) {
    HWND child = GetWindow(host, GW_CHILD);
    if (child == nullptr) {
        std::printf("no child\n");
    } else {
        char name[128] = {};
        GetClassNameA(child, name, sizeof name);
        RECT rect{};
        GetClientRect(child, &rect);
        std::printf("child %s %ldx%ld %s\n", name, rect.right - rect.left, rect.bottom - rect.top,
                    IsWindowVisible(child) ? "visible" : "hidden");
    }
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    const bool to_front = argc > 2 && std::strcmp(argv[2], "front") == 0;
    WNDCLASSA wc{};
    wc.lpfnWndProc = &host_proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = "preview host";
    if (RegisterClassA(&wc) == 0) return 1;
    RECT rect{0, 0, 320, 240};
    AdjustWindowRect(&rect, WS_OVERLAPPEDWINDOW, FALSE);
    HWND window = CreateWindowExA(0, "preview host", "preview host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE,
                                  40, 40, rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr,
                                  wc.hInstance, nullptr);
    if (window == nullptr) return 1;
    std::printf("%llu\n", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
    std::fflush(stdout);
    if (to_front) SetForegroundWindow(window);
    SetTimer(window, kReportTimer, static_cast<UINT>(seconds > 2 ? seconds - 2 : 1) * 1000u, nullptr);
    SetTimer(window, kEndTimer, static_cast<UINT>(seconds) * 1000u, nullptr);
    MSG msg{};
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER && msg.wParam == kReportTimer) {
            KillTimer(window, kReportTimer);
            report_child(window);
            continue;
        }
        if (msg.message == WM_TIMER && msg.wParam == kEndTimer) {
            DestroyWindow(window);
            continue;
        }
        DispatchMessageA(&msg);
    }
    return 0;
}

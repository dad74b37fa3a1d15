// What a top-level window of another program holds, for the end-to-end
// tests to find controls and read what they say: one line per child window,
//     ID LEFT TOP RIGHT BOTTOM CLASS|TEXT
// with the rectangle in screen pixels and the text's line breaks written as
// "\n". Ends with 1 when no visible window has the title.
//     window_texts.exe TITLE
#include <windows.h>

#include <cstdio>

namespace {

constexpr UINT kTextTimeoutMs = 2000;

BOOL CALLBACK print_child(HWND child, LPARAM) {
    char name[64] = {};
    GetClassNameA(child, name, sizeof name);
    // WM_GETTEXT crosses the process boundary; GetWindowText would not ask
    // the control itself.
    char text[1024] = {};
    DWORD_PTR length = 0;
    SendMessageTimeoutA(child, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                        kTextTimeoutMs, &length);
    RECT rect{};
    GetWindowRect(child, &rect);
    std::printf("%d %ld %ld %ld %ld %s|", GetDlgCtrlID(child), rect.left, rect.top, rect.right, rect.bottom, name);
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c == '\r') continue;
        if (*c == '\n') {
            std::fputs("\\n", stdout);
        } else {
            std::putchar(*c);
        }
    }
    std::putchar('\n');
    return TRUE;
}

struct Search {
    const char* title;
    HWND found;
};

// The first visible top-level window of that title: a program may have
// hidden windows of the same title.
BOOL CALLBACK match_title(HWND window, LPARAM search_address) {
    auto* search = reinterpret_cast<Search*>(search_address);
    char title[256] = {};
    GetWindowTextA(window, title, sizeof title);
    if (!IsWindowVisible(window) || lstrcmpA(title, search->title) != 0) return TRUE;
    search->found = window;
    return FALSE;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: window_texts.exe TITLE\n");
        return 2;
    }
    Search search{argv[1], nullptr};
    EnumWindows(&match_title, reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr) return 1;
    EnumChildWindows(search.found, &print_child, 0);
    std::fflush(stdout);
    return 0;
}

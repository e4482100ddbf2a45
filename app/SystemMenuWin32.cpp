#include "app/SystemMenuWin32.h"

#if defined(_WIN32)

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <optional>
#include <string>

#include "io/NativePath.h"

namespace entorra {

void AppendSystemMenuItem(void* nativeWindow, const char* text, unsigned command) {
    HMENU menu = ::GetSystemMenu(static_cast<HWND>(nativeWindow), FALSE);
    if (menu == nullptr || text == nullptr || *text == '\0') {
        return;
    }
    const std::optional<std::wstring> item = WideFromUtf8(text);
    if (!item) {
        return;
    }
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(menu, MF_STRING, command, item->c_str());
}

bool IsSystemMenuChoice(const void* message, unsigned command) {
    const MSG* msg = static_cast<const MSG*>(message);
    // The low four bits of a system command are the system's own.
    return msg->message == WM_SYSCOMMAND && (msg->wParam & 0xFFF0) == command;
}

}  // namespace entorra

#endif

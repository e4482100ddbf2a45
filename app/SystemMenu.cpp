#include "app/SystemMenu.h"

#include <QString>
#include <QWidget>

#if defined(_WIN32)
#define NOMINMAX
#include <windows.h>

#include <string>
#endif

namespace entorra {

#if defined(_WIN32)

void AddToSystemMenu(QWidget* window, const char* text, unsigned command) {
    HMENU menu = ::GetSystemMenu(reinterpret_cast<HWND>(window->winId()), FALSE);
    if (menu == nullptr || text == nullptr || *text == '\0') {
        return;
    }
    const std::wstring item = QString::fromLatin1(text).toStdWString();
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(menu, MF_STRING, command, item.c_str());
}

bool IsSystemMenuCommand(const void* message, unsigned command) {
    const MSG* msg = static_cast<const MSG*>(message);
    return msg->message == WM_SYSCOMMAND && (msg->wParam & 0xFFF0) == command;
}

#else

void AddToSystemMenu(QWidget* /*window*/, const char* /*text*/, unsigned /*command*/) {}

bool IsSystemMenuCommand(const void* /*message*/, unsigned /*command*/) {
    return false;
}

#endif

}  // namespace entorra

#include "app/SystemMenu.h"

#include <QWidget>

#include "app/SystemMenuWin32.h"

namespace entorra {

#if defined(_WIN32)

void AddToSystemMenu(QWidget* window, const char* text, unsigned command) {
    AppendSystemMenuItem(reinterpret_cast<void*>(window->winId()), text, command);
}

bool IsSystemMenuCommand(const void* message, unsigned command) {
    return IsSystemMenuChoice(message, command);
}

#else

void AddToSystemMenu(QWidget* /*window*/, const char* /*text*/, unsigned /*command*/) {}

bool IsSystemMenuCommand(const void* /*message*/, unsigned /*command*/) {
    return false;
}

#endif

}  // namespace entorra

#pragma once

// The About item on the window's system menu, where the platform has one (Windows).

class QWidget;

namespace entorra {

// Appends a separator and the item; nothing where there is no system menu.
void AddToSystemMenu(QWidget* window, const char* text, unsigned command);

// Whether a native message is the choice of that item.
bool IsSystemMenuCommand(const void* message, unsigned command);

}  // namespace entorra

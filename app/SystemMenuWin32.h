#pragma once

// The Win32 side of the About item on the system menu, apart from Qt so that it builds and is
// checked wherever the Windows headers are, also without Qt.

#if defined(_WIN32)

namespace entorra {

// Appends a separator and the item (text in UTF-8) to the system menu of the native window;
// nothing when the window has none or the text is empty.
void AppendSystemMenuItem(void* nativeWindow, const char* text, unsigned command);

// Whether a native message (a MSG) is the choice of that item.
bool IsSystemMenuChoice(const void* message, unsigned command);

}  // namespace entorra

#endif

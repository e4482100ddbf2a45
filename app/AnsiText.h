#pragma once

// The editor's text is bytes, one character each, shown as the Western ANSI code page
// (Windows-1252) shows them: Latin-1, except that 0x80-0x9F are the typographic characters
// that code page puts there (€ ‚ ƒ „ … † ‡ ˆ ‰ Š ‹ Œ Ž ‘ ’ “ ” • – — ˜ ™ š › œ ž Ÿ). The five
// bytes it leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) stay control characters.

#include <QByteArray>
#include <QString>
#include <optional>
#include <string_view>

namespace entorra {

// The character a byte shows as.
QChar AnsiCharacter(unsigned char byte);
// Whether a byte of 0x80-0x9F shows as a character of its own rather than a control code.
bool IsAnsiTypographic(unsigned char byte);
QString AnsiToText(std::string_view bytes);

// The byte that shows a character, if any does.
std::optional<char> AnsiByte(QChar character);
// Characters that no byte shows become '?', as a code page conversion makes them.
QByteArray TextToAnsi(const QString& text);
// Every character as a byte, or nothing when one has no byte.
std::optional<QByteArray> TextToAnsiExactly(const QString& text);

}  // namespace entorra

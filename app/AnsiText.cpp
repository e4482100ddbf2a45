#include "app/AnsiText.h"

#include <array>

namespace entorra {
namespace {

// 0x80-0x9F; 0 where the code page defines no character.
constexpr std::array<char16_t, 32> kTypographic = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

bool IsAnsiTypographic(unsigned char byte) {
    return byte >= 0x80 && byte <= 0x9F && kTypographic[byte - 0x80] != 0;
}

QChar AnsiCharacter(unsigned char byte) {
    return IsAnsiTypographic(byte) ? QChar(kTypographic[byte - 0x80]) : QChar(byte);
}

QString AnsiToText(std::string_view bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (const char byte : bytes) {
        text += AnsiCharacter(static_cast<unsigned char>(byte));
    }
    return text;
}

std::optional<char> AnsiByte(QChar character) {
    const char16_t code = character.unicode();
    if (code <= 0xFF && !IsAnsiTypographic(static_cast<unsigned char>(code))) {
        return static_cast<char>(code);
    }
    for (std::size_t i = 0; i < kTypographic.size(); ++i) {
        if (kTypographic[i] != 0 && kTypographic[i] == code) {
            return static_cast<char>(0x80 + i);
        }
    }
    return std::nullopt;
}

QByteArray TextToAnsi(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (const QChar character : text) {
        bytes += AnsiByte(character).value_or('?');
    }
    return bytes;
}

std::optional<QByteArray> TextToAnsiExactly(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (const QChar character : text) {
        const std::optional<char> byte = AnsiByte(character);
        if (!byte) {
            return std::nullopt;
        }
        bytes += *byte;
    }
    return bytes;
}

}  // namespace entorra

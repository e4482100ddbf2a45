#pragma once

// Names, paths and messages are byte strings, as the file system gives them. They meet Qt only
// for display (and the folder picker's answer), through the file system's own encoding, so a
// path goes out and comes back byte for byte.

#include <QFile>
#include <QString>
#include <string>
#include <string_view>

namespace entorra {

inline QString ToQString(std::string_view bytes) {
    return QFile::decodeName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

inline std::string FromQString(const QString& text) {
    const QByteArray bytes = QFile::encodeName(text);
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace entorra

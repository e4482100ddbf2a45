#include "app/QtSettingsStore.h"

#include <QSettings>
#include <QStringList>

namespace entorra {
namespace {

// QSettings separates the parts of a key with "/"; the registry's paths use "\".
std::string SlashedKey(std::string_view keyPath, std::string_view valueName) {
    std::string key(keyPath);
    for (char& character : key) {
        if (character == '\\') {
            character = '/';
        }
    }
    while (!key.empty() && key.back() == '/') {
        key.pop_back();
    }
    key += '/';
    key += valueName;
    return key;
}

bool IsValidUtf8(std::string_view bytes) {
    const QByteArray data(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return QString::fromUtf8(data).toUtf8() == data;
}

}  // namespace

CQtSettingsStore::CQtSettingsStore()
    : m_pSettings(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                              QStringLiteral("Quorvale"),
                                              QStringLiteral("Entorra"))) {}

CQtSettingsStore::CQtSettingsStore(const QString& fileName)
    : m_pSettings(std::make_unique<QSettings>(fileName, QSettings::IniFormat)) {}

CQtSettingsStore::~CQtSettingsStore() = default;

QString CQtSettingsStore::FileName() const {
    return m_pSettings->fileName();
}

QString CQtSettingsStore::FindKey(std::string_view keyPath, std::string_view valueName) const {
    const std::string wanted = SlashedKey(keyPath, valueName);
    const QStringList keys = m_pSettings->allKeys();
    for (const QString& key : keys) {
        const QByteArray spelled = key.toUtf8();
        if (SettingsNamesEqual({spelled.constData(), static_cast<std::size_t>(spelled.size())},
                               wanted)) {
            return key;
        }
    }
    return {};
}

std::optional<std::string> CQtSettingsStore::ReadValue(SettingsRoot /*root*/,
                                                       std::string_view keyPath,
                                                       std::string_view valueName) {
    m_pSettings->sync();
    const QString key = FindKey(keyPath, valueName);
    if (key.isEmpty()) {
        return std::nullopt;
    }
    const QVariant value = m_pSettings->value(key);
    QByteArray bytes;
    if (value.typeId() == QMetaType::QByteArray) {
        bytes = value.toByteArray();
    } else if (value.typeId() == QMetaType::QStringList) {
        // An unquoted value with commas in a file edited by hand.
        bytes = value.toStringList().join(QLatin1Char(',')).toUtf8();
    } else {
        bytes = value.toString().toUtf8();
    }
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

bool CQtSettingsStore::CreateKey(SettingsRoot /*root*/, std::string_view /*keyPath*/) {
    // An INI file has its keys only through their values; the key comes with its first value.
    return m_pSettings->isWritable();
}

bool CQtSettingsStore::SetStringValue(SettingsRoot /*root*/, std::string_view keyPath,
                                      std::string_view valueName, std::string_view text) {
    if (!m_pSettings->isWritable()) {
        return false;
    }
    QString key = FindKey(keyPath, valueName);
    if (key.isEmpty()) {
        key = QString::fromUtf8(SlashedKey(keyPath, valueName));
    }
    // Text as text where it is UTF-8, so the file stays readable; any other bytes as bytes,
    // so that a folder comes back exactly as it was stored.
    const QByteArray bytes(text.data(), static_cast<qsizetype>(text.size()));
    if (IsValidUtf8(text)) {
        m_pSettings->setValue(key, QString::fromUtf8(bytes));
    } else {
        m_pSettings->setValue(key, bytes);
    }
    m_pSettings->sync();
    return m_pSettings->status() == QSettings::NoError;
}

}  // namespace entorra

#pragma once

// The settings store away from Windows: an INI file at the user's configuration location
// (~/.config/Quorvale/Entorra.ini, or under $XDG_CONFIG_HOME), holding the registry's key paths
// and value names. Like the registry it compares them without regard to letter case.

#include <QString>
#include <memory>

#include "folders/SettingsStore.h"

class QSettings;

namespace entorra {

class CQtSettingsStore final : public ISettingsStore {
public:
    // The user's own file.
    CQtSettingsStore();
    // A given file (tests).
    explicit CQtSettingsStore(const QString& fileName);
    ~CQtSettingsStore() override;

    std::optional<std::string> ReadValue(SettingsRoot root, std::string_view keyPath,
                                         std::string_view valueName) override;
    bool CreateKey(SettingsRoot root, std::string_view keyPath) override;
    bool SetStringValue(SettingsRoot root, std::string_view keyPath, std::string_view valueName,
                        std::string_view text) override;

    QString FileName() const;

private:
    // The stored key of that name in whatever letter case it was written, or an empty string.
    QString FindKey(std::string_view keyPath, std::string_view valueName) const;

    std::unique_ptr<QSettings> m_pSettings;
};

}  // namespace entorra

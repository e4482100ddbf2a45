#pragma once

// The settings store as a test double.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "folders/SettingsStore.h"

namespace entorra::testing {

// A settings store in memory: it records every read and can be told to refuse writes. Key
// paths and value names are matched without regard to letter case, as the registry does.
class CMemorySettingsStore final : public ISettingsStore {
public:
    std::optional<std::string> ReadValue(SettingsRoot root, std::string_view keyPath,
                                         std::string_view valueName) override;
    bool CreateKey(SettingsRoot root, std::string_view keyPath) override;
    bool SetStringValue(SettingsRoot root, std::string_view keyPath, std::string_view valueName,
                        std::string_view text) override;

    // Stores data as it stands, without adding a NUL; creates the key.
    void SetRawValue(SettingsRoot root, std::string_view keyPath, std::string_view valueName,
                     std::string_view data);
    bool KeyExists(SettingsRoot root, std::string_view keyPath) const;

    // Every ReadValue so far, as "key path|value name" in the caller's spelling.
    const std::vector<std::string>& Reads() const { return m_reads; }

    void RefuseCreateKey(bool refuse) { m_bRefuseCreateKey = refuse; }
    void RefuseSetValue(bool refuse) { m_bRefuseSetValue = refuse; }

private:
    using KeyId = std::pair<SettingsRoot, std::string>;

    std::map<KeyId, std::map<std::string, std::string>> m_keys;
    std::vector<std::string> m_reads;
    bool m_bRefuseCreateKey = false;
    bool m_bRefuseSetValue = false;
};

}  // namespace entorra::testing

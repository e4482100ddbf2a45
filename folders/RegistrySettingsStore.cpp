#include "folders/RegistrySettingsStore.h"

#if defined(_WIN32)

#include <windows.h>

namespace entorra {
namespace {

HKEY RootKey(SettingsRoot) {
    return HKEY_CURRENT_USER;
}

// Closes the key on every way out.
class CKey {
public:
    CKey() = default;
    ~CKey() {
        if (m_hKey != nullptr) {
            RegCloseKey(m_hKey);
        }
    }
    CKey(const CKey&) = delete;
    CKey& operator=(const CKey&) = delete;
    HKEY* Out() { return &m_hKey; }
    HKEY Get() const { return m_hKey; }

private:
    HKEY m_hKey = nullptr;
};

}  // namespace

std::optional<std::string> CRegistrySettingsStore::ReadValue(SettingsRoot root,
                                                             std::string_view keyPath,
                                                             std::string_view valueName) {
    CKey key;
    if (RegOpenKeyExA(RootKey(root), std::string(keyPath).c_str(), 0, KEY_QUERY_VALUE, key.Out()) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    const std::string name(valueName);
    // The value may grow between asking its size and reading it; ask again then.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = 0;
        if (RegQueryValueExA(key.Get(), name.c_str(), nullptr, nullptr, nullptr, &size) !=
            ERROR_SUCCESS) {
            return std::nullopt;
        }
        std::string data(size, '\0');
        const LONG status = RegQueryValueExA(key.Get(), name.c_str(), nullptr, nullptr,
                                             reinterpret_cast<BYTE*>(data.data()), &size);
        if (status == ERROR_SUCCESS) {
            data.resize(size);
            return data;
        }
        if (status != ERROR_MORE_DATA) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

bool CRegistrySettingsStore::CreateKey(SettingsRoot root, std::string_view keyPath) {
    CKey key;
    return RegCreateKeyA(RootKey(root), std::string(keyPath).c_str(), key.Out()) == ERROR_SUCCESS;
}

bool CRegistrySettingsStore::SetStringValue(SettingsRoot root, std::string_view keyPath,
                                            std::string_view valueName, std::string_view text) {
    CKey key;
    if (RegOpenKeyExA(RootKey(root), std::string(keyPath).c_str(), 0, KEY_SET_VALUE, key.Out()) !=
        ERROR_SUCCESS) {
        return false;
    }
    const std::string data = std::string(text) + '\0';
    return RegSetValueExA(key.Get(), std::string(valueName).c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(data.data()),
                          static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

}  // namespace entorra

#endif

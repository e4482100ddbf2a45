#include "folders/RegistrySettingsStore.h"

#if defined(_WIN32)

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "io/NativePath.h"

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

bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// A string value's UTF-16 data as UTF-8, its NULs kept where they stand (so a value stored
// with its NUL reads as one without it, plus that NUL); an odd last byte is no character.
std::string Utf8FromStoredWide(const std::string& data) {
    std::wstring wide(data.size() / 2, L'\0');
    for (std::size_t i = 0; i < wide.size(); ++i) {
        wide[i] = static_cast<wchar_t>(static_cast<unsigned char>(data[2 * i]) |
                                       static_cast<unsigned char>(data[2 * i + 1]) << 8);
    }
    return Utf8FromWide(wide);
}

}  // namespace

std::optional<std::string> CRegistrySettingsStore::ReadValue(SettingsRoot root,
                                                             std::string_view keyPath,
                                                             std::string_view valueName) {
    const std::optional<std::wstring> path = WideFromUtf8(keyPath);
    const std::optional<std::wstring> name = WideFromUtf8(valueName);
    if (!path || !name) {
        return std::nullopt;
    }
    CKey key;
    if (RegOpenKeyExW(RootKey(root), path->c_str(), 0, KEY_QUERY_VALUE, key.Out()) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    // The value may grow between asking its size and reading it; ask again then.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = 0;
        DWORD type = REG_NONE;
        if (RegQueryValueExW(key.Get(), name->c_str(), nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS) {
            return std::nullopt;
        }
        std::string data(size, '\0');
        const LONG status = RegQueryValueExW(key.Get(), name->c_str(), nullptr, &type,
                                             reinterpret_cast<BYTE*>(data.data()), &size);
        if (status == ERROR_SUCCESS) {
            data.resize(size);
            // Strings are kept in UTF-16 and read in UTF-8; other types' bytes as they are.
            return IsStringType(type) ? Utf8FromStoredWide(data) : data;
        }
        if (status != ERROR_MORE_DATA) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

bool CRegistrySettingsStore::CreateKey(SettingsRoot root, std::string_view keyPath) {
    const std::optional<std::wstring> path = WideFromUtf8(keyPath);
    if (!path) {
        return false;
    }
    CKey key;
    return RegCreateKeyExW(RootKey(root), path->c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_SET_VALUE, nullptr, key.Out(), nullptr) == ERROR_SUCCESS;
}

bool CRegistrySettingsStore::SetStringValue(SettingsRoot root, std::string_view keyPath,
                                            std::string_view valueName, std::string_view text) {
    const std::optional<std::wstring> path = WideFromUtf8(keyPath);
    const std::optional<std::wstring> name = WideFromUtf8(valueName);
    const std::optional<std::wstring> wide = WideFromUtf8(text);
    if (!path || !name || !wide) {
        return false;
    }
    CKey key;
    if (RegOpenKeyExW(RootKey(root), path->c_str(), 0, KEY_SET_VALUE, key.Out()) != ERROR_SUCCESS) {
        return false;
    }
    // The characters and the terminating NUL, in bytes.
    const auto bytes = static_cast<DWORD>((wide->size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key.Get(), name->c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(wide->c_str()), bytes) == ERROR_SUCCESS;
}

}  // namespace entorra

#endif

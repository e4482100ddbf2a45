#pragma once

// Named string values under key paths, the way the Windows registry keeps them: the map folder
// of this program and the install folders of the game live in such a store.

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace entorra {

// Only the per-user root is used; the parameter keeps the registry's shape.
enum class SettingsRoot { CurrentUser };

class ISettingsStore {
public:
    virtual ~ISettingsStore() = default;

    // The data of a value exactly as stored: a string value may or may not end with its NUL,
    // and its type is not examined. Nothing when the key or the value does not exist. Opening
    // the key never creates it.
    virtual std::optional<std::string> ReadValue(SettingsRoot root, std::string_view keyPath,
                                                 std::string_view valueName) = 0;

    // Creates the key and any missing keys along its path, or opens it when it exists.
    virtual bool CreateKey(SettingsRoot root, std::string_view keyPath) = 0;

    // Sets a string value of an existing key: the text and its terminating NUL replace any
    // earlier value of that name. False when the key is missing or the store refuses.
    virtual bool SetStringValue(SettingsRoot root, std::string_view keyPath,
                                std::string_view valueName, std::string_view text) = 0;
};

// Key paths and value names are compared as the registry compares them: without regard to
// letter case.
bool SettingsNamesEqual(std::string_view left, std::string_view right);

// A store in memory, for tests; it records every read and can be told to refuse writes.
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

}  // namespace entorra

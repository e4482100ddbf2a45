#pragma once

// Named string values under key paths, the way the Windows registry keeps them: the map folder
// of this program and the install folders of the game live in such a store.

#include <optional>
#include <string>
#include <string_view>

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

}  // namespace entorra

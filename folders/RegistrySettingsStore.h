#pragma once

// The settings store on Windows: the registry. Built on Windows only.

#if defined(_WIN32)

#include "folders/SettingsStore.h"

namespace entorra {

class CRegistrySettingsStore final : public ISettingsStore {
public:
    std::optional<std::string> ReadValue(SettingsRoot root, std::string_view keyPath,
                                         std::string_view valueName) override;
    bool CreateKey(SettingsRoot root, std::string_view keyPath) override;
    bool SetStringValue(SettingsRoot root, std::string_view keyPath, std::string_view valueName,
                        std::string_view text) override;
};

}  // namespace entorra

#endif

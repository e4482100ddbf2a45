#include "folders/MapFolder.h"

#include <optional>

#include "folders/SteamLibrary.h"

namespace entorra {

namespace {

// The UTF-16 characters that UTF-8 text takes: one per lead byte, two for those of four bytes.
std::size_t Utf16Length(std::string_view utf8) {
    std::size_t length = 0;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte & 0xC0u) != 0x80u) {
            length += byte >= 0xF0u ? 2 : 1;
        }
    }
    return length;
}

}  // namespace

bool ReadRegistryString(ISettingsStore& store, SettingsRoot root, std::string_view keyPath,
                        std::string_view valueName, std::string& text, std::size_t bufferSize,
                        bool inUtf16) {
    const std::optional<std::string> data = store.ReadValue(root, keyPath, valueName);
    const auto sizeOf = [inUtf16](std::string_view bytes) {
        return inUtf16 ? Utf16Length(bytes) : bytes.size();
    };
    if (!data || sizeOf(*data) > bufferSize) {
        return false;
    }
    const std::size_t length = data->find('\0');
    const std::size_t textLength = length == std::string::npos ? data->size() : length;
    if (sizeOf(std::string_view(*data).substr(0, textLength)) + 1 > bufferSize) {
        return false;
    }
    text.assign(*data, 0, textLength);
    return true;
}

std::string GameMapsSuffix(char separator) {
    std::string suffix = "\\cstrike\\maps\\";
    for (char& character : suffix) {
        if (character == '\\') {
            character = separator;
        }
    }
    return suffix;
}

FoundMapFolder FindMapFolder(ISettingsStore& store, IMessageSink& sink,
                             const PlatformRules& rules) {
    std::string text;
    if (ReadRegistryString(store, SettingsRoot::CurrentUser, kOwnSettingsKey, kInstallPathValue,
                           text, rules.valueBufferSize, rules.valueBufferInUtf16)) {
        return {text, MapFolderSource::OwnSetting};
    }
    sink.ShowMessage(kFirstRunWarning);
    if (ReadRegistryString(store, SettingsRoot::CurrentUser, kCounterStrikeKey, kInstallPathValue,
                           text, rules.valueBufferSize, rules.valueBufferInUtf16)) {
        return {text + GameMapsSuffix(rules.separator), MapFolderSource::CounterStrike};
    }
    if (ReadRegistryString(store, SettingsRoot::CurrentUser, kHalfLifeKey, kInstallPathValue, text,
                           rules.valueBufferSize, rules.valueBufferInUtf16)) {
        return {text + GameMapsSuffix(rules.separator), MapFolderSource::HalfLife};
    }
    if (std::optional<std::string> steam = FindSteamMapFolder(store, rules)) {
        return {*steam, MapFolderSource::Steam};
    }
    return {rules.defaultMapFolder, MapFolderSource::Default};
}

void StoreMapFolder(ISettingsStore& store, const std::string& mapFolder) {
    if (store.CreateKey(SettingsRoot::CurrentUser, kOwnSettingsKey)) {
        store.SetStringValue(SettingsRoot::CurrentUser, kOwnSettingsKey, kInstallPathValue,
                             mapFolder);
    }
}

}  // namespace entorra

#include "folders/MapFolder.h"

#include <optional>

#include "folders/SteamLibrary.h"

namespace entorra {

bool ReadRegistryString(ISettingsStore& store, SettingsRoot root, std::string_view keyPath,
                        std::string_view valueName, std::string& text, std::size_t bufferSize) {
    const std::optional<std::string> data = store.ReadValue(root, keyPath, valueName);
    if (!data || data->size() > bufferSize) {
        return false;
    }
    const std::size_t length = data->find('\0');
    const std::size_t textLength = length == std::string::npos ? data->size() : length;
    if (textLength + 1 > bufferSize) {
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
                           text, rules.valueBufferSize)) {
        return {text, MapFolderSource::OwnSetting};
    }
    sink.ShowMessage(kFirstRunWarning);
    if (ReadRegistryString(store, SettingsRoot::CurrentUser, kCounterStrikeKey, kInstallPathValue,
                           text, rules.valueBufferSize)) {
        return {text + GameMapsSuffix(rules.separator), MapFolderSource::CounterStrike};
    }
    if (ReadRegistryString(store, SettingsRoot::CurrentUser, kHalfLifeKey, kInstallPathValue, text,
                           rules.valueBufferSize)) {
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

#include "tests/support/MemorySettingsStore.h"

#include <algorithm>

namespace entorra::testing {
namespace {

// Keys and names are kept in one spelling, so that lookups ignore letter case.
std::string Folded(std::string_view name) {
    std::string folded(name);
    std::transform(folded.begin(), folded.end(), folded.begin(), [](char character) {
        return character >= 'A' && character <= 'Z' ? static_cast<char>(character - 'A' + 'a')
                                                    : character;
    });
    return folded;
}

}  // namespace

std::optional<std::string> CMemorySettingsStore::ReadValue(SettingsRoot root,
                                                           std::string_view keyPath,
                                                           std::string_view valueName) {
    m_reads.push_back(std::string(keyPath) + "|" + std::string(valueName));
    const auto key = m_keys.find({root, Folded(keyPath)});
    if (key == m_keys.end()) {
        return std::nullopt;
    }
    const auto value = key->second.find(Folded(valueName));
    if (value == key->second.end()) {
        return std::nullopt;
    }
    return value->second;
}

bool CMemorySettingsStore::CreateKey(SettingsRoot root, std::string_view keyPath) {
    if (m_bRefuseCreateKey) {
        return false;
    }
    // Every key along the path comes into being, as the registry creates them.
    const std::string folded = Folded(keyPath);
    for (std::size_t separator = folded.find('\\'); separator != std::string::npos;
         separator = folded.find('\\', separator + 1)) {
        m_keys[{root, folded.substr(0, separator)}];
    }
    m_keys[{root, folded}];
    return true;
}

bool CMemorySettingsStore::SetStringValue(SettingsRoot root, std::string_view keyPath,
                                          std::string_view valueName, std::string_view text) {
    const auto key = m_keys.find({root, Folded(keyPath)});
    if (m_bRefuseSetValue || key == m_keys.end()) {
        return false;
    }
    std::string data(text);
    data.push_back('\0');
    key->second[Folded(valueName)] = std::move(data);
    return true;
}

void CMemorySettingsStore::SetRawValue(SettingsRoot root, std::string_view keyPath,
                                       std::string_view valueName, std::string_view data) {
    const bool refused = m_bRefuseCreateKey;
    m_bRefuseCreateKey = false;
    CreateKey(root, keyPath);
    m_bRefuseCreateKey = refused;
    m_keys[{root, Folded(keyPath)}][Folded(valueName)] = std::string(data);
}

bool CMemorySettingsStore::KeyExists(SettingsRoot root, std::string_view keyPath) const {
    return m_keys.count({root, Folded(keyPath)}) != 0;
}

}  // namespace entorra::testing

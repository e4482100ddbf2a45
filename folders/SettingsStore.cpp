#include "folders/SettingsStore.h"

#include <algorithm>

namespace entorra {
namespace {

char FoldCase(char character) {
    return character >= 'A' && character <= 'Z' ? static_cast<char>(character - 'A' + 'a')
                                                : character;
}

}  // namespace

bool SettingsNamesEqual(std::string_view left, std::string_view right) {
    return left.size() == right.size() &&
           std::equal(left.begin(), left.end(), right.begin(),
                      [](char a, char b) { return FoldCase(a) == FoldCase(b); });
}

}  // namespace entorra

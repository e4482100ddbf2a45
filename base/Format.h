#pragma once

// printf-style formatting into a std::string, for the user-facing message templates.

#include <cstdio>
#include <string>

namespace entorra {

template <typename... Args>
std::string Format(const char* pattern, Args... args) {
    const int length = std::snprintf(nullptr, 0, pattern, args...);
    if (length <= 0) {
        return {};
    }
    std::string text(static_cast<std::size_t>(length), '\0');
    std::snprintf(text.data(), text.size() + 1, pattern, args...);
    return text;
}

}  // namespace entorra

#include "io/NativePath.h"

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

#include <limits>

namespace entorra {

#if defined(_WIN32)

namespace {

std::optional<std::wstring> Widen(std::string_view utf8, DWORD flags) {
    if (utf8.empty()) {
        return std::wstring();
    }
    if (utf8.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        return std::nullopt;
    }
    const int length = static_cast<int>(utf8.size());
    const int wideLength = ::MultiByteToWideChar(CP_UTF8, flags, utf8.data(), length, nullptr, 0);
    if (wideLength <= 0) {
        return std::nullopt;
    }
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    if (::MultiByteToWideChar(CP_UTF8, flags, utf8.data(), length, wide.data(), wideLength) !=
        wideLength) {
        return std::nullopt;
    }
    return wide;
}

}  // namespace

std::optional<std::wstring> WideFromUtf8(std::string_view utf8) {
    return Widen(utf8, MB_ERR_INVALID_CHARS);
}

std::string Utf8FromWide(std::wstring_view wide) {
    if (wide.empty() || wide.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        return std::string();
    }
    const int length = static_cast<int>(wide.size());
    const int utf8Length =
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    if (utf8Length <= 0) {
        return std::string();
    }
    std::string utf8(static_cast<std::size_t>(utf8Length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, utf8.data(), utf8Length, nullptr,
                          nullptr);
    return utf8;
}

std::filesystem::path PathFromUtf8(std::string_view utf8) {
    // Bytes that are not UTF-8 become U+FFFD, as Windows turns unpaired surrogates.
    std::optional<std::wstring> wide = Widen(utf8, 0);
    return std::filesystem::path(wide ? std::move(*wide) : std::wstring());
}

std::string Utf8FromPath(const std::filesystem::path& path) {
    return Utf8FromWide(path.native());
}

#else

// Names are bytes here, taken as they are.
std::filesystem::path PathFromUtf8(std::string_view utf8) {
    return std::filesystem::path(std::string(utf8));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
    return path.native();
}

#endif

}  // namespace entorra

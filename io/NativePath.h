#pragma once

// Paths are UTF-8 inside the program. These give the forms the platform's calls take: a
// std::filesystem::path (which on Windows holds UTF-16, and whose narrow conversions would
// otherwise go through the ANSI code page with some compilers) and, on Windows, the wide
// strings of the Win32 calls.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace entorra {

std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string Utf8FromPath(const std::filesystem::path& path);

#if defined(_WIN32)
// Nothing when the text is not valid UTF-8: such a name can name no file here.
std::optional<std::wstring> WideFromUtf8(std::string_view utf8);
// Unpaired surrogates, which Windows names may hold, become U+FFFD.
std::string Utf8FromWide(std::wstring_view wide);
#endif

}  // namespace entorra

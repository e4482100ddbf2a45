#include "cli/Console.h"

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// After windows.h, which it builds on.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#else
#include <unistd.h>
#endif

#include "io/NativePath.h"

namespace entorra::cli {

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
#if defined(_WIN32)
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide != nullptr) {
        std::vector<std::string> arguments;
        for (int i = 0; i < count; ++i) {
            arguments.push_back(Utf8FromWide(wide[i]));
        }
        ::LocalFree(wide);
        return arguments;
    }
#endif
    return std::vector<std::string>(argv, argv + argc);
}

bool IsTerminal(std::FILE* stream) {
#if defined(_WIN32)
    return ::_isatty(::_fileno(stream)) != 0;
#else
    return ::isatty(::fileno(stream)) != 0;
#endif
}

void PrepareConsole() {
#if defined(_WIN32)
    ::SetConsoleOutputCP(CP_UTF8);
    // Output bytes as on every other platform: text mode would turn the CR LF of the
    // editor form into CR CR LF.
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
#endif
}

}  // namespace entorra::cli

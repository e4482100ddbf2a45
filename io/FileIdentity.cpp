#include "io/FileIdentity.h"

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "io/NativePath.h"
#else
#include <sys/stat.h>
#endif

namespace entorra {

std::optional<FileId> IdentifyFile(const std::string& path) {
#if defined(_WIN32)
    const std::optional<std::wstring> wide = WideFromUtf8(path);
    if (!wide || wide->empty()) {
        return std::nullopt;
    }
    // No access asked for, so even a file another program holds without sharing answers.
    const HANDLE handle =
        ::CreateFileW(wide->c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    const bool known = ::GetFileInformationByHandle(handle, &information) != 0;
    ::CloseHandle(handle);
    if (!known) {
        return std::nullopt;
    }
    return FileId{
        information.dwVolumeSerialNumber,
        (static_cast<std::uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow};
#else
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return FileId{static_cast<std::uint64_t>(status.st_dev),
                  static_cast<std::uint64_t>(status.st_ino)};
#endif
}

}  // namespace entorra

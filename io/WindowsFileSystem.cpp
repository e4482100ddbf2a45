#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "io/FileSystem.h"
#include "io/NativePath.h"
#include "io/TemporaryName.h"

namespace entorra {
namespace {

std::string SystemMessage(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message;
    if (length > 0 && text != nullptr) {
        message = Utf8FromWide(std::wstring_view(text, length));
    }
    if (text != nullptr) {
        ::LocalFree(text);
    }
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.')) {
        message.pop_back();
    }
    return message.empty() ? "error " + std::to_string(error) : message;
}

// The errno value nearest to a Win32 error: callers word their reasons by errno values on
// every platform.
int ErrnoOf(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_BAD_PATHNAME:
            return ENOENT;
        case ERROR_INVALID_NAME:
        case ERROR_NO_UNICODE_TRANSLATION:
            return EINVAL;
        case ERROR_ACCESS_DENIED:
        case ERROR_PRIVILEGE_NOT_HELD:
        case ERROR_CANNOT_MAKE:
            return EACCES;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_USER_MAPPED_FILE:
        case ERROR_PIPE_BUSY:
            return EBUSY;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_WRITE_PROTECT:
            return EROFS;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return ENOMEM;
        case ERROR_DIRECTORY:
            return ENOTDIR;
        case ERROR_FILENAME_EXCED_RANGE:
            return ENAMETOOLONG;
        case ERROR_NOT_SAME_DEVICE:
            return EXDEV;
        case ERROR_DIR_NOT_EMPTY:
            return ENOTEMPTY;
        case ERROR_BROKEN_PIPE:
        case ERROR_NO_DATA:
            return EPIPE;
        case ERROR_INVALID_HANDLE:
            return EBADF;
        case ERROR_NOT_SUPPORTED:
        case ERROR_INVALID_FUNCTION:
            return ENOSYS;
        default:
            return EIO;
    }
}

// "operation: the system's text", with the errno value nearest to the Win32 error.
Failure Win32Failure(const char* operation, DWORD error) {
    return Failure{std::string(operation) + ": " + SystemMessage(error), ErrnoOf(error)};
}

Failure LastFailure(const char* operation) {
    return Win32Failure(operation, ::GetLastError());
}

[[noreturn]] void Raise(const char* operation, DWORD error) {
    throw CFileError(Win32Failure(operation, error));
}

[[noreturn]] void RaiseLast(const char* operation) {
    Raise(operation, ::GetLastError());
}

// The wide form of a path; an invalid one fails the call as a bad name would.
bool Widen(const std::string& path, std::wstring& wide) {
    std::optional<std::wstring> converted = WideFromUtf8(path);
    if (!converted || path.empty()) {
        ::SetLastError(path.empty() ? ERROR_PATH_NOT_FOUND : ERROR_NO_UNICODE_TRANSLATION);
        return false;
    }
    wide = std::move(*converted);
    return true;
}

// What a replaced file hands on to the new one.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// ReadFile and WriteFile take 32-bit counts.
constexpr std::size_t kMaxTransfer = 1u << 30;

std::size_t ReadHandle(HANDLE handle, void* buffer, std::size_t count) {
    auto* bytes = static_cast<char*>(buffer);
    std::size_t delivered = 0;
    while (delivered < count) {
        const auto chunk = static_cast<DWORD>(std::min(count - delivered, kMaxTransfer));
        DWORD got = 0;
        if (!::ReadFile(handle, bytes + delivered, chunk, &got, nullptr)) {
            const DWORD error = ::GetLastError();
            // A pipe's writer has closed its end: that is the end of the text.
            if (error == ERROR_BROKEN_PIPE) {
                break;
            }
            Raise("ReadFile", error);
        }
        if (got == 0) {
            break;
        }
        delivered += got;
    }
    return delivered;
}

// Reads at an offset and puts the file pointer back, so that Read goes on where it was.
std::size_t ReadHandleAt(HANDLE handle, std::uint64_t offset, void* buffer, std::size_t count) {
    LARGE_INTEGER position{};
    if (!::SetFilePointerEx(handle, LARGE_INTEGER{}, &position, FILE_CURRENT)) {
        RaiseLast("SetFilePointerEx");
    }
    auto* bytes = static_cast<char*>(buffer);
    std::size_t delivered = 0;
    while (delivered < count) {
        const auto chunk = static_cast<DWORD>(std::min(count - delivered, kMaxTransfer));
        const std::uint64_t at = offset + delivered;
        OVERLAPPED where{};
        where.Offset = static_cast<DWORD>(at & 0xFFFFFFFFu);
        where.OffsetHigh = static_cast<DWORD>(at >> 32);
        DWORD got = 0;
        if (!::ReadFile(handle, bytes + delivered, chunk, &got, &where)) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_HANDLE_EOF) {
                break;
            }
            Raise("ReadFile", error);
        }
        if (got == 0) {
            break;
        }
        delivered += got;
    }
    if (!::SetFilePointerEx(handle, position, nullptr, FILE_BEGIN)) {
        RaiseLast("SetFilePointerEx");
    }
    return delivered;
}

void WriteHandle(HANDLE handle, const void* data, std::size_t count) {
    const auto* bytes = static_cast<const char*>(data);
    while (count > 0) {
        const auto chunk = static_cast<DWORD>(std::min(count, kMaxTransfer));
        DWORD put = 0;
        if (!::WriteFile(handle, bytes, chunk, &put, nullptr)) {
            RaiseLast("WriteFile");
        }
        if (put == 0) {
            Raise("WriteFile", ERROR_WRITE_FAULT);
        }
        bytes += put;
        count -= put;
    }
}

// The status of an open file: its identity (FILE_BASIC_INFO gives the change time that
// BY_HANDLE_FILE_INFORMATION lacks, in 100 ns ticks like the write time), its names and
// whether it may be written.
FileStatus StatusOfHandle(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!::GetFileInformationByHandle(handle, &information)) {
        RaiseLast("GetFileInformationByHandle");
    }
    FILE_BASIC_INFO basic{};
    if (!::GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic)) {
        RaiseLast("GetFileInformationByHandleEx");
    }
    FileStatus status;
    status.identity.volume = information.dwVolumeSerialNumber;
    status.identity.file =
        (static_cast<std::uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
    status.identity.size =
        (static_cast<std::uint64_t>(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
    status.identity.modified = basic.LastWriteTime.QuadPart;
    status.identity.changed = basic.ChangeTime.QuadPart;
    status.links = std::max<DWORD>(information.nNumberOfLinks, 1);
    status.writeError = (information.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0 ? EACCES : 0;
    return status;
}

class CWindowsFile final : public IFile {
public:
    explicit CWindowsFile(HANDLE handle, std::int64_t knownSize = -1)
        : m_hFile(handle), m_nKnownSize(knownSize) {}
    ~CWindowsFile() override { Abort(); }
    CWindowsFile(const CWindowsFile&) = delete;
    CWindowsFile& operator=(const CWindowsFile&) = delete;

    std::uint64_t Size() override {
        if (m_nKnownSize >= 0) {
            return static_cast<std::uint64_t>(m_nKnownSize);
        }
        LARGE_INTEGER size{};
        if (!::GetFileSizeEx(m_hFile, &size)) {
            RaiseLast("GetFileSizeEx");
        }
        return static_cast<std::uint64_t>(size.QuadPart);
    }

    FileStatus Status() override { return StatusOfHandle(m_hFile); }

    std::size_t Read(void* buffer, std::size_t count) override {
        return ReadHandle(m_hFile, buffer, count);
    }
    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override {
        return ReadHandleAt(m_hFile, offset, buffer, count);
    }

    void Write(const void* data, std::size_t count) override { WriteHandle(m_hFile, data, count); }

    void Flush() override {
        if (!::FlushFileBuffers(m_hFile)) {
            RaiseLast("FlushFileBuffers");
        }
    }

    void Close() override {
        const HANDLE handle = m_hFile;
        m_hFile = INVALID_HANDLE_VALUE;
        if (handle != INVALID_HANDLE_VALUE && !::CloseHandle(handle)) {
            RaiseLast("CloseHandle");
        }
    }

    void Abort() noexcept override {
        if (m_hFile != INVALID_HANDLE_VALUE) {
            ::CloseHandle(m_hFile);
            m_hFile = INVALID_HANDLE_VALUE;
        }
    }

private:
    HANDLE m_hFile;
    std::int64_t m_nKnownSize;  // from the status taken at open; -1 when not taken
};

// What a handle is open on, as far as reading it goes.
enum class HandleKind { File, Folder, Pipe, Device, Other };

// The kind, and for a file its size from the same status.
HandleKind KindOfHandle(HANDLE handle, std::int64_t& size) {
    switch (::GetFileType(handle)) {
        case FILE_TYPE_DISK: {
            // A volume or a disk opened as a whole is of this type too, but has no file status.
            BY_HANDLE_FILE_INFORMATION information{};
            if (!::GetFileInformationByHandle(handle, &information)) {
                return HandleKind::Device;
            }
            if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                return HandleKind::Folder;
            }
            size = static_cast<std::int64_t>(
                (static_cast<std::uint64_t>(information.nFileSizeHigh) << 32) |
                information.nFileSizeLow);
            return HandleKind::File;
        }
        case FILE_TYPE_PIPE:
            return HandleKind::Pipe;
        case FILE_TYPE_CHAR:
            return HandleKind::Device;
        default:
            return HandleKind::Other;
    }
}

bool IsFolder(const std::wstring& wide) {
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// An open regular file on a disk, and its size from the status taken at open.
struct OpenedRegular {
    HANDLE handle;
    std::int64_t size;
};

// Opens an existing regular file for reading with the given sharing. Share modes are what
// holds a file here: while another process has it open in a way this sharing excludes (or
// holds it without sharing), the open is retried until wait has passed. Folders, pipes and
// devices are refused with what they are.
Result<OpenedRegular> OpenRegular(const std::string& path, DWORD share,
                                  std::chrono::milliseconds wait) {
    std::wstring wide;
    if (!Widen(path, wide)) {
        return LastFailure("CreateFileW");
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    HANDLE handle = INVALID_HANDLE_VALUE;
    for (;;) {
        handle = ::CreateFileW(wide.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            break;
        }
        const DWORD error = ::GetLastError();
        // A folder opens only with backup semantics; without them it is access denied.
        if (error == ERROR_ACCESS_DENIED && IsFolder(wide)) {
            return Failure{"not a regular file", EISDIR};
        }
        const bool held = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
        if (!held || std::chrono::steady_clock::now() >= deadline) {
            return Win32Failure("CreateFileW", error);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::int64_t size = 0;
    const HandleKind kind = KindOfHandle(handle, size);
    if (kind != HandleKind::File) {
        ::CloseHandle(handle);
        return Failure{"not a regular file", kind == HandleKind::Folder   ? EISDIR
                                             : kind == HandleKind::Pipe   ? ESPIPE
                                             : kind == HandleKind::Device ? ENODEV
                                                                          : EINVAL};
    }
    return OpenedRegular{handle, size};
}

// Removes the temporary files of name in folder that a write left behind. One still being
// written is open without sharing, so it cannot be deleted: only those no process holds go.
void RemoveStaleTemporaries(const std::string& folder, const std::string& name) {
    std::wstring pattern;
    if (!Widen(folder + TemporaryNamePrefix(name) + "*", pattern)) {
        return;
    }
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        const std::string entry = Utf8FromWide(found.cFileName);
        std::wstring path;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
            IsTemporaryNameOf(entry, name) && Widen(folder + entry, path)) {
            ::DeleteFileW(path.c_str());
        }
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
}

// Full, case-folded form of a path, so that two spellings of one file compare equal.
std::wstring HoldKey(const std::wstring& path) {
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0) {
            full = path;
            break;
        }
        if (length < full.size()) {
            full.resize(length);
            break;
        }
        full.resize(length);
    }
    ::CharUpperBuffW(full.data(), static_cast<DWORD>(full.size()));
    return full;
}

// A hold's handle, which the replacement of its file may close before the hold ends.
struct HoldState {
    std::mutex mutex;
    HANDLE handle = INVALID_HANDLE_VALUE;

    void Release() noexcept {
        const std::lock_guard lock(mutex);
        if (handle != INVALID_HANDLE_VALUE) {
            ::CloseHandle(handle);
            handle = INVALID_HANDLE_VALUE;
        }
    }
};

class CWindowsFileSystem;

// A map opened with OpenLocked: the share mode is the hold (readers share reading, a writer
// shares nothing). Windows cannot replace a file that is open, so the replacement lets go of
// its own process's holds on the map just before it puts the new file in place; a hold so
// ended reads and tells nothing more.
class CHeldFile final : public IFile {
public:
    CHeldFile(std::shared_ptr<HoldState> state, std::int64_t size, CWindowsFileSystem& owner,
              std::wstring key)
        : m_state(std::move(state)), m_nSize(size), m_owner(owner), m_key(std::move(key)) {}
    ~CHeldFile() override;
    CHeldFile(const CHeldFile&) = delete;
    CHeldFile& operator=(const CHeldFile&) = delete;

    std::uint64_t Size() override { return static_cast<std::uint64_t>(m_nSize); }
    FileStatus Status() override {
        const std::lock_guard lock(m_state->mutex);
        return StatusOfHandle(m_state->handle);
    }
    std::size_t Read(void* buffer, std::size_t count) override {
        const std::lock_guard lock(m_state->mutex);
        return ReadHandle(m_state->handle, buffer, count);
    }
    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override {
        const std::lock_guard lock(m_state->mutex);
        return ReadHandleAt(m_state->handle, offset, buffer, count);
    }
    void Write(const void*, std::size_t) override { Raise("WriteFile", ERROR_ACCESS_DENIED); }
    void Flush() override {}
    void Close() override { m_state->Release(); }
    void Abort() noexcept override { m_state->Release(); }

private:
    std::shared_ptr<HoldState> m_state;
    std::int64_t m_nSize;
    CWindowsFileSystem& m_owner;
    std::wstring m_key;
};

class CWindowsFileSystem final : public IFileSystem {
public:
    Result<std::unique_ptr<IFile>> OpenLocked(const std::string& path, MapLock lock,
                                              std::chrono::milliseconds wait) override {
        // The open names the file the path names at that moment, so a map replaced while this
        // waited is the new one.
        Result<OpenedRegular> opened =
            OpenRegular(path, lock == MapLock::Shared ? FILE_SHARE_READ : 0, wait);
        if (!opened) {
            return opened.Error();
        }
        auto state = std::make_shared<HoldState>();
        state->handle = opened->handle;
        std::wstring wide;
        Widen(path, wide);
        std::wstring key = HoldKey(wide);
        {
            const std::lock_guard guard(m_mutex);
            m_holds.emplace(key, state);
        }
        return std::make_unique<CHeldFile>(std::move(state), opened->size, *this, std::move(key));
    }

    Result<std::unique_ptr<IFile>> OpenForReading(const std::string& path) override {
        std::wstring wide;
        if (!Widen(path, wide)) {
            return LastFailure("CreateFileW");
        }
        if (IsFolder(wide)) {
            return Failure{"not a file: a folder", EISDIR};
        }
        // Not held: whoever else has it open may go on reading and writing it.
        const HANDLE handle = ::CreateFileW(wide.c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            return LastFailure("CreateFileW");
        }
        std::int64_t size = 0;
        switch (KindOfHandle(handle, size)) {
            case HandleKind::File:
                // The size is asked again when wanted: the file may grow meanwhile.
                return std::make_unique<CWindowsFile>(handle);
            case HandleKind::Pipe:
                // A pipe opens only while its server is there, which is the program writing it.
                return std::make_unique<CWindowsFile>(handle, 0);
            case HandleKind::Folder:
                ::CloseHandle(handle);
                return Failure{"not a file: a folder", EISDIR};
            case HandleKind::Device:
                // NUL delivers nothing and CON waits for typing: neither is an entity file.
                ::CloseHandle(handle);
                return Failure{"not a file: a device", ENODEV};
            case HandleKind::Other:
                break;
        }
        ::CloseHandle(handle);
        return Failure{"not a file", EINVAL};
    }

    Result<FileIdentity> Identify(const std::string& path) override {
        std::wstring wide;
        if (!Widen(path, wide)) {
            return LastFailure("CreateFileW");
        }
        // No access asked for, so even a file another program holds without sharing answers.
        const HANDLE handle =
            ::CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            return LastFailure("CreateFileW");
        }
        try {
            const FileIdentity identity = StatusOfHandle(handle).identity;
            ::CloseHandle(handle);
            return identity;
        } catch (const CFileError& error) {
            ::CloseHandle(handle);
            return Failure{error.what(), error.ErrorCode()};
        }
    }

    Result<TemporaryFile> CreateTemporaryBeside(const std::string& finalPath,
                                                const std::string& permissionsOf) override {
        // What stands for permissions here: the attributes a file hands on to its copy (a
        // read-only one excepted, which could not be written).
        DWORD attributes = FILE_ATTRIBUTE_NORMAL;
        std::wstring model;
        if (Widen(permissionsOf, model)) {
            const DWORD modelAttributes = ::GetFileAttributesW(model.c_str());
            if (modelAttributes != INVALID_FILE_ATTRIBUTES &&
                (modelAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
                (modelAttributes & kKeptAttributes) != 0) {
                attributes = modelAttributes & kKeptAttributes;
            }
        }
        const std::size_t separator = finalPath.find_last_of("\\/:");
        const std::string folder =
            separator == std::string::npos ? std::string() : finalPath.substr(0, separator + 1);
        const std::string name =
            separator == std::string::npos ? finalPath : finalPath.substr(separator + 1);
        RemoveStaleTemporaries(folder, name);
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string candidate = folder + NewTemporaryName(name);
            std::wstring wide;
            if (!Widen(candidate, wide)) {
                return LastFailure("CreateFileW");
            }
            // Without sharing until it is closed: nothing reads a half-written copy, and no
            // other process's cleanup can remove it.
            const HANDLE handle = ::CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                                nullptr, CREATE_NEW, attributes, nullptr);
            if (handle != INVALID_HANDLE_VALUE) {
                return TemporaryFile{std::make_unique<CWindowsFile>(handle), std::move(candidate)};
            }
            const DWORD error = ::GetLastError();
            if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
                return Win32Failure("CreateFileW", error);
            }
        }
        return Win32Failure("CreateFileW", ERROR_FILE_EXISTS);
    }

    void Replace(const std::string& tempPath, const std::string& finalPath) override {
        std::wstring wideTemp;
        std::wstring wideFinal;
        if (!Widen(tempPath, wideTemp) || !Widen(finalPath, wideFinal)) {
            RaiseLast("ReplaceFileW");
        }
        const DWORD attributes = ::GetFileAttributesW(wideFinal.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES) {
            // A folder is not replaced by a file, nor is a read-only file replaced: Windows
            // refuses both, and so must Wine, which would do either.
            if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
                Raise("ReplaceFileW", ERROR_ACCESS_DENIED);
            }
        }
        ReleaseHolds(HoldKey(wideFinal));
        // ReplaceFileW keeps the map's attributes, ACLs and streams; it needs the map to exist
        // and a file system that supports it. Where it cannot do the work, a move that
        // replaces does; its write-through returns only once the move is on the disk.
        if (::ReplaceFileW(wideFinal.c_str(), wideTemp.c_str(), nullptr,
                           REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                           nullptr)) {
            return;
        }
        const DWORD replaceError = ::GetLastError();
        // Another process took the map in the moment this one let go of it: it holds it now,
        // and a move would replace the map under it (Wine moves over open files). That save
        // fails; the other's goes on.
        if (replaceError == ERROR_SHARING_VIOLATION || replaceError == ERROR_LOCK_VIOLATION) {
            Raise("ReplaceFileW", replaceError);
        }
        if (::MoveFileExW(wideTemp.c_str(), wideFinal.c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return;
        }
        const DWORD moveError = ::GetLastError();
        Raise("MoveFileExW", replaceError == ERROR_FILE_NOT_FOUND ? moveError : replaceError);
    }

    PublishOutcome PublishNew(const std::string& tempPath, const std::string& finalPath) override {
        std::wstring wideTemp;
        std::wstring wideFinal;
        if (!Widen(tempPath, wideTemp) || !Widen(finalPath, wideFinal)) {
            RaiseLast("MoveFileExW");
        }
        // A move that does not replace fails, in one step, where something is already.
        if (::MoveFileExW(wideTemp.c_str(), wideFinal.c_str(), MOVEFILE_WRITE_THROUGH)) {
            return PublishOutcome::Published;
        }
        const DWORD error = ::GetLastError();
        if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
            return PublishOutcome::Existing;
        }
        Raise("MoveFileExW", error);
    }

    EntryKind KindOf(const std::string& path) override {
        std::wstring wide;
        if (!Widen(path, wide)) {
            return EntryKind::None;
        }
        const DWORD attributes = ::GetFileAttributesW(wide.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            return EntryKind::None;
        }
        // A symbolic link counts as a file, as it does elsewhere; a link to a folder does not.
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EntryKind::Other : EntryKind::File;
    }

    void Remove(const std::string& path) noexcept override {
        std::wstring wide;
        if (Widen(path, wide)) {
            ::DeleteFileW(wide.c_str());
        }
    }

    std::string ResolveLinks(const std::string& path) override {
        // Only a file that is itself a symbolic link is followed: other paths stay as given,
        // in the spelling the user sees in messages.
        std::wstring wide;
        if (!Widen(path, wide)) {
            return path;
        }
        const DWORD attributes = ::GetFileAttributesW(wide.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES ||
            (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
            return path;
        }
        const HANDLE handle =
            ::CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            return path;
        }
        std::wstring target(MAX_PATH, L'\0');
        DWORD length = ::GetFinalPathNameByHandleW(handle, target.data(),
                                                   static_cast<DWORD>(target.size()), 0);
        if (length >= target.size()) {
            target.resize(length);
            length = ::GetFinalPathNameByHandleW(handle, target.data(),
                                                 static_cast<DWORD>(target.size()), 0);
        }
        ::CloseHandle(handle);
        if (length == 0 || length >= target.size()) {
            return path;
        }
        target.resize(length);
        // "\\?\C:\..." to "C:\...", "\\?\UNC\server\..." to "\\server\...".
        if (target.rfind(L"\\\\?\\UNC\\", 0) == 0) {
            target = L"\\\\" + target.substr(8);
        } else if (target.rfind(L"\\\\?\\", 0) == 0) {
            target = target.substr(4);
        }
        return Utf8FromWide(target);
    }

    void Forget(const std::wstring& key, const std::shared_ptr<HoldState>& state) {
        const std::lock_guard lock(m_mutex);
        const auto [first, last] = m_holds.equal_range(key);
        for (auto hold = first; hold != last; ++hold) {
            if (hold->second == state) {
                m_holds.erase(hold);
                return;
            }
        }
    }

private:
    void ReleaseHolds(const std::wstring& key) {
        std::vector<std::shared_ptr<HoldState>> states;
        {
            const std::lock_guard lock(m_mutex);
            const auto [first, last] = m_holds.equal_range(key);
            for (auto hold = first; hold != last; ++hold) {
                states.push_back(hold->second);
            }
        }
        for (const std::shared_ptr<HoldState>& state : states) {
            state->Release();
        }
    }

    std::mutex m_mutex;
    std::multimap<std::wstring, std::shared_ptr<HoldState>> m_holds;
};

CHeldFile::~CHeldFile() {
    m_state->Release();
    m_owner.Forget(m_key, m_state);
}

}  // namespace

IFileSystem& RealFileSystem() {
    static CWindowsFileSystem fileSystem;
    return fileSystem;
}

}  // namespace entorra

#include "tests/support/TestSupport.h"

#include <stdlib.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <random>
#include <stdexcept>
#include <thread>

#include "io/FileSystem.h"
#include "io/NativePath.h"

namespace entorra::testing {

CTempDir::CTempDir() {
#if defined(_WIN32)
    // No mkdtemp here: a random name, created only if it is not there yet.
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path candidate =
            std::filesystem::temp_directory_path() / ("entorra-test-" + std::to_string(random()));
        std::error_code error;
        if (std::filesystem::create_directory(candidate, error)) {
            m_path = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
#else
    std::string pattern = (std::filesystem::temp_directory_path() / "entorra-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    m_path = pattern;
#endif
}

std::string CTempDir::File(const std::string& name) const {
    return Utf8FromPath((m_path / PathFromUtf8(name)).make_preferred());
}

CTempDir::~CTempDir() {
    std::error_code error;
    std::filesystem::remove_all(m_path, error);
}

std::vector<std::string> CTempDir::Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_path)) {
        names.push_back(Utf8FromPath(entry.path().filename()));
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string MissingFileReason() {
#if defined(_WIN32)
    const CTempDir dir;
    return RealFileSystem().OpenForReading(dir.File("missing")).Error().message;
#else
    return "open: No such file or directory";
#endif
}

#if defined(_WIN32)

namespace {

// One argument in the quoting the C runtime's parser undoes: backslashes are literal except
// before a quote.
std::wstring Quoted(const std::wstring& argument) {
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
        } else if (c == L'"') {
            quoted.append(backslashes * 2 + 1, L'\\');
            backslashes = 0;
        } else {
            quoted.append(backslashes, L'\\');
            backslashes = 0;
        }
        if (c != L'\\') {
            quoted.push_back(c);
        }
    }
    quoted.append(backslashes * 2, L'\\');
    quoted.push_back(L'"');
    return quoted;
}

HANDLE CreateOutput(const std::string& path) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const std::wstring wide = PathFromUtf8(path).native();
    return ::CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

int RunProgram(const std::string& program, const std::vector<std::string>& arguments,
               const std::string& stdoutPath, const std::string& stderrPath) {
    std::wstring commandLine = Quoted(PathFromUtf8(program).native());
    for (const std::string& argument : arguments) {
        commandLine += L" " + Quoted(*WideFromUtf8(argument));
    }
    const HANDLE output = CreateOutput(stdoutPath);
    const HANDLE errors = CreateOutput(stderrPath);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output;
    startup.hStdError = errors;
    PROCESS_INFORMATION process{};
    const bool started = output != INVALID_HANDLE_VALUE && errors != INVALID_HANDLE_VALUE &&
                         ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0,
                                          nullptr, nullptr, &startup, &process);
    ::CloseHandle(output);
    ::CloseHandle(errors);
    if (!started) {
        return -1;
    }
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    const bool exited = ::GetExitCodeProcess(process.hProcess, &status) != 0;
    ::CloseHandle(process.hProcess);
    ::CloseHandle(process.hThread);
    return exited ? static_cast<int>(status) : -1;
}

#else

int RunProgram(const std::string& program, const std::vector<std::string>& arguments,
               const std::string& stdoutPath, const std::string& stderrPath) {
    const pid_t child = ::fork();
    if (child < 0) {
        return -1;
    }
    if (child == 0) {
        const int output = ::open(stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int errors = ::open(stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (output < 0 || errors < 0 || ::dup2(output, 1) < 0 || ::dup2(errors, 2) < 0) {
            ::_exit(127);
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

#endif

std::uint32_t Crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc) {
    crc = ~crc;
    for (const std::uint8_t byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

std::string TestName(const std::string& description) {
    std::string name;
    bool wordStart = true;
    for (const char c : description) {
        if (std::isalnum(static_cast<unsigned char>(c)) == 0) {
            wordStart = true;
            continue;
        }
        name += wordStart ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
        wordStart = false;
    }
    return name;
}

#if !defined(_WIN32)
void FeedPipe(const std::string& path, const std::string& text) {
    int descriptor = -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    // Without a reader, a non-blocking open fails at once instead of waiting for one.
    while ((descriptor = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)) < 0) {
        if (errno != ENXIO || std::chrono::steady_clock::now() > deadline) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ::fcntl(descriptor, F_SETFL, 0);
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t put = ::write(descriptor, text.data() + written, text.size() - written);
        if (put <= 0) {
            break;
        }
        written += static_cast<std::size_t>(put);
    }
    ::close(descriptor);
}
#endif

std::filesystem::path SharedMapsFolder() {
    const std::filesystem::path folder(ENTORRA_REAL_MAPS_DIR);
    std::error_code error;
    return std::filesystem::is_directory(folder, error) ? folder : std::filesystem::path();
}

std::vector<std::filesystem::path> SharedMaps() {
    std::vector<std::filesystem::path> maps;
    const auto folder = SharedMapsFolder();
    if (folder.empty()) {
        return maps;
    }
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() == ".bsp") {
            maps.push_back(entry.path());
        }
    }
    std::sort(maps.begin(), maps.end());
    return maps;
}

}  // namespace entorra::testing

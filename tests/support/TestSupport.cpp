#include "tests/support/TestSupport.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace entorra::testing {

CTempDir::CTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "entorra-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    m_path = pattern;
}

CTempDir::~CTempDir() {
    std::error_code error;
    std::filesystem::remove_all(m_path, error);
}

std::vector<std::string> CTempDir::Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_path)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

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

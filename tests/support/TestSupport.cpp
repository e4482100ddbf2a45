#include "tests/support/TestSupport.h"

#include <stdlib.h>

#include <algorithm>
#include <random>
#include <stdexcept>

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
    return Utf8FromPath(m_path / PathFromUtf8(name));
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

#include "cli/Sources.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/Format.h"
#include "bsp/BspFile.h"
#include "io/NativePath.h"

namespace entorra::cli {

bool IsEntityFileName(const std::string& path) {
    std::string extension = Utf8FromPath(PathFromUtf8(path).extension());
    for (char& c : extension) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return extension == ".ent";
}

bool ReadWholeFile(IFileSystem& fileSystem, const std::string& path,
                   std::vector<std::uint8_t>& bytes) {
    try {
        const std::unique_ptr<IFile> file = fileSystem.OpenExclusive(path);
        if (!file) {
            return false;
        }
        const std::uint64_t size = file->Size();
        if (size > kMaxReadSize) {
            return false;
        }
        bytes.resize(static_cast<std::size_t>(size));
        const std::size_t got = file->Read(bytes.data(), bytes.size());
        file->Close();
        return got == bytes.size();
    } catch (const std::exception&) {
        return false;
    }
}

bool ReadEntityTextOf(const CommandContext& context, const std::string& path, CMapReport& report,
                      std::string& text) {
    if (IsEntityFileName(path)) {
        std::ifstream input(PathFromUtf8(path), std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(input), std::istreambuf_iterator<char>());
        if (!input.is_open() || input.bad()) {
            report.Fail(Format("Error reading the entity file: %s.", path.c_str()));
            return false;
        }
        return true;
    }
    CBspFile file(report.Sink(), context.fileSystem);
    if (file.Load(path) != 0) {
        report.Fail();
        return false;
    }
    text.assign(file.GetEntityText(), file.EntityTextLength());
    return true;
}

}  // namespace entorra::cli

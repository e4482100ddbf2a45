#include "cli/Sources.h"

#include <cerrno>
#include <filesystem>

#include "base/Format.h"
#include "bsp/BspFile.h"
#include "io/FileRead.h"
#include "io/NativePath.h"

namespace entorra::cli {

bool IsEntityFileName(const std::string& path) {
    std::string extension = Utf8FromPath(PathFromUtf8(path).extension());
    for (char& c : extension) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return extension == ".ent";
}

bool ReadEntityFile(const CommandContext& context, const std::string& path, CMapReport& report,
                    std::string& text) {
    Result<std::string> read = ReadTextFile(context.fileSystem, path, kMaxEntityFileBytes);
    if (!read) {
        const std::string reason = read.Error().code == EFBIG
                                       ? "larger than " + ByteSizeText(kMaxEntityFileBytes) +
                                             ", the most an entity file may hold"
                                       : read.Error().message;
        report.Fail(Format(kEntityFileUnread, path.c_str()) + "\n" + reason);
        return false;
    }
    text = std::move(read).Value();
    return true;
}

bool ReadEntityTextOf(const CommandContext& context, const std::string& path, CMapReport& report,
                      std::string& text) {
    if (IsEntityFileName(path)) {
        return ReadEntityFile(context, path, report, text);
    }
    const Result<MapExcerpt> read = ReadMapEntityText(context.fileSystem, path);
    if (!read) {
        report.Fail(read.Error().message);
        return false;
    }
    text.assign(read->EntityText());
    return true;
}

}  // namespace entorra::cli

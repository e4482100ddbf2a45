#include "cli/Sources.h"

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

bool ReadEntityTextOf(const CommandContext& context, const std::string& path, CMapReport& report,
                      std::string& text) {
    if (IsEntityFileName(path)) {
        Result<std::string> read = ReadTextFile(context.fileSystem, path);
        if (!read) {
            report.Fail(Format(kEntityFileUnread, path.c_str()));
            return false;
        }
        text = std::move(read).Value();
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

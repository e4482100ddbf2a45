#pragma once

// Writing a file so that its path never names a half-written file: the contents go to a new
// file beside it, which is flushed and then put in place in one step.

#include <cstddef>
#include <functional>
#include <string>

#include "io/FileSystem.h"

namespace entorra {

// A new file being written beside finalPath. Unless it is put in place, it is closed and
// removed when this object goes.
class CNewFile {
public:
    // Fails, creating nothing, when the temporary file cannot be created. permissionsOf: see
    // IFileSystem::CreateTemporaryBeside.
    static Result<CNewFile> Create(IFileSystem& fileSystem, const std::string& finalPath,
                                   const std::string& permissionsOf);

    CNewFile(CNewFile&& other) noexcept;
    CNewFile& operator=(CNewFile&&) = delete;
    ~CNewFile();

    IFile& File() { return *m_temporary.file; }

    // Flushes and closes the file and puts it in finalPath's place, replacing whatever is
    // there. Raises CFileError; finalPath is then as it was.
    void Replace();

    // The same, but only where nothing is at finalPath yet; otherwise that stays as it was.
    PublishOutcome Publish();

private:
    CNewFile(IFileSystem& fileSystem, std::string finalPath, TemporaryFile temporary);
    void Finish();

    IFileSystem* m_pFileSystem;
    std::string m_strFinalPath;
    TemporaryFile m_temporary;
    bool m_bInPlace = false;
};

// Writes a complete file beside path, flushes it and puts it in path's place in one step, with
// the permissions path had. On any failure path is left as it was and no temporary file
// remains; raises CFileError.
void WriteFileAtomically(IFileSystem& fileSystem, const std::string& path, const void* data,
                         std::size_t size);

// The same, with the contents written by writeContents into the new file.
void WriteFileAtomically(IFileSystem& fileSystem, const std::string& path,
                         const std::function<void(IFile&)>& writeContents);

// Writes a complete, flushed file at path only if nothing is there yet (checked before any
// byte is written, and again as it is put in place), with the permissions of the file at
// permissionsOf. Something at path that is not a file raises, as does any failure to write;
// nothing is left behind then.
PublishOutcome WriteNewFile(IFileSystem& fileSystem, const std::string& path, const void* data,
                            std::size_t size, const std::string& permissionsOf);

}  // namespace entorra

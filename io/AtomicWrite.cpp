#include "io/AtomicWrite.h"

#include <cerrno>
#include <utility>

namespace entorra {

Result<CNewFile> CNewFile::Create(IFileSystem& fileSystem, const std::string& finalPath,
                                  const std::string& permissionsOf) {
    Result<TemporaryFile> created = fileSystem.CreateTemporaryBeside(finalPath, permissionsOf);
    if (!created) {
        return Failure{
            "cannot create a temporary file beside " + finalPath + ": " + created.Error().message,
            created.Error().code};
    }
    return CNewFile(fileSystem, finalPath, std::move(created).Value());
}

CNewFile::CNewFile(IFileSystem& fileSystem, std::string finalPath, TemporaryFile temporary)
    : m_pFileSystem(&fileSystem),
      m_strFinalPath(std::move(finalPath)),
      m_temporary(std::move(temporary)) {}

CNewFile::CNewFile(CNewFile&& other) noexcept
    : m_pFileSystem(other.m_pFileSystem),
      m_strFinalPath(std::move(other.m_strFinalPath)),
      m_temporary(std::move(other.m_temporary)),
      m_bInPlace(std::exchange(other.m_bInPlace, true)) {}

CNewFile::~CNewFile() {
    if (m_bInPlace) {
        return;
    }
    m_temporary.file->Abort();
    m_pFileSystem->Remove(m_temporary.path);
}

void CNewFile::Finish() {
    m_temporary.file->Flush();
    m_temporary.file->Close();
}

void CNewFile::Replace() {
    Finish();
    m_pFileSystem->Replace(m_temporary.path, m_strFinalPath);
    m_bInPlace = true;
}

PublishOutcome CNewFile::Publish() {
    Finish();
    const PublishOutcome outcome = m_pFileSystem->PublishNew(m_temporary.path, m_strFinalPath);
    m_bInPlace = outcome == PublishOutcome::Published;
    return outcome;
}

void WriteFileAtomically(IFileSystem& fileSystem, const std::string& path, const void* data,
                         std::size_t size) {
    WriteFileAtomically(fileSystem, path, [&](IFile& output) { output.Write(data, size); });
}

void WriteFileAtomically(IFileSystem& fileSystem, const std::string& path,
                         const std::function<void(IFile&)>& writeContents) {
    Result<CNewFile> created = CNewFile::Create(fileSystem, path, path);
    if (!created) {
        throw CFileError(created.Error());
    }
    writeContents(created->File());
    created->Replace();
}

PublishOutcome WriteNewFile(IFileSystem& fileSystem, const std::string& path, const void* data,
                            std::size_t size, const std::string& permissionsOf) {
    // A look first spares writing a file that cannot go in place.
    switch (fileSystem.KindOf(path)) {
        case EntryKind::File:
            return PublishOutcome::Existing;
        case EntryKind::Other:
            throw CFileError(path + " exists and is not a file", EEXIST);
        case EntryKind::None:
            break;
    }
    Result<CNewFile> created = CNewFile::Create(fileSystem, path, permissionsOf);
    if (!created) {
        throw CFileError(created.Error());
    }
    created->File().Write(data, size);
    return created->Publish();
}

}  // namespace entorra

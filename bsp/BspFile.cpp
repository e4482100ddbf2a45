#include "bsp/BspFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <new>
#include <optional>
#include <system_error>
#include <utility>

#include "base/ByteOrder.h"
#include "base/Format.h"
#include "bsp/BspFormat.h"
#include "bsp/FileText.h"
#include "bsp/MapFindings.h"
#include "bsp/MapLayout.h"
#include "io/AtomicWrite.h"

namespace entorra {
namespace {

constexpr const char* kOpenFailed =
    "Error openning the file: %s.\nMake sure it isn't opened in another program.";
constexpr const char* kOpenFailedBecause = "Error openning the file: %s.\n%s";
constexpr const char* kTooLarge =
    "The file: %s\nis too large for a map: maps are smaller than 2 GiB.";
constexpr const char* kSizeFailed = "Error reading the size of the file : %s.";
constexpr const char* kLoadFailed = "Error openning the file: %s.\n";
constexpr const char* kSaved = "The file:  %s\nwas saved!";
constexpr const char* kSaveFailed = "Error saving the file: %s.";

constexpr const char* kChangedOnDisk =
    "The map was changed on disk since it was loaded: saving now would undo that change.";
constexpr const char* kHeldElsewhere =
    "Another program holds the map; save again once it has let go of it.";
constexpr const char* kReadOnlyMap =
    "The map is read-only: you may not write it. Give it write permission to save it.";
constexpr const char* kHardLinked =
    "The map has %u other name%s (a hard link) that a save would leave holding the old map. "
    "Make the map a file of its own (copy it and replace it by the copy) to save it.";

// A failed check inside Load or Save; carries the formatted message, if it has one.
struct CheckFailed {
    std::optional<std::string> message;
};

// A save refused or failed for a reason the user is told on a second line.
struct SaveRefused {
    std::string reason;
};

// The system's words for an error number, as the file layer gives them on every platform.
std::string SystemText(int code) {
    return std::generic_category().message(code);
}

// Why the map cannot be opened, as the line after "Error openning the file: %s.".
std::optional<std::string> OpenReason(int code) {
    switch (code) {
        case 0:
        case EBUSY:
            return std::nullopt;  // held by another program: the usual advice
        case ENOENT:
        case ENOTDIR:
            return "There is no such file.";
        case EISDIR:
            return "It is a folder, not a map file.";
        case ESPIPE:
            return "It is a named pipe (FIFO) or a socket, not a map file.";
        case ENODEV:
            return "It is a device, not a map file.";
        case EACCES:
        case EPERM:
            return SystemText(code) + ": you may not read it.";
        default:
            return SystemText(code) + ".";
    }
}

std::string OpenFailureMessage(const std::string& path, const Failure& failure) {
    const std::optional<std::string> reason = OpenReason(failure.code);
    return reason ? Format(kOpenFailedBecause, path.c_str(), reason->c_str())
                  : Format(kOpenFailed, path.c_str());
}

// Why writing the new map failed, and what to do about it where that helps.
std::string WriteReason(int code) {
    switch (code) {
        case EACCES:
        case EPERM:
            return SystemText(code) + ": the folder is not writable.";
        case ENOSPC:
#ifdef EDQUOT
        case EDQUOT:
#endif
            return SystemText(code) + ": free some space on the disk and save again.";
        case EROFS:
            return SystemText(code) + ": the disk of the map is mounted read-only.";
        case EIO:
            return SystemText(code) + ": the disk may be failing; check it before saving again.";
        case EBUSY:
            return kHeldElsewhere;
        default:
            return SystemText(code) + ".";
    }
}

// Why the map held for the save cannot be opened.
std::string HoldReason(int code) {
    switch (code) {
        case EBUSY:
            return kHeldElsewhere;
        case EACCES:
        case EPERM:
            return SystemText(code) + ": you may not read the map.";
        default:
            return OpenReason(code).value_or(SystemText(code) + ".");
    }
}

// One spelling for one path, so that the file loaded is known when it is saved.
std::string NormalPath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return (error ? std::filesystem::path(path) : absolute).lexically_normal().string();
}

// Load's own words for what keeps a map from being read; the version's are the inspection's.
std::string RefusalMessage(const MapFinding& finding, const std::string& path) {
    const char* file = path.c_str();
    switch (finding.fault) {
        case MapFault::TooShort:
            return Format("The file: %s\nis not a map: it is shorter than the %u-byte map header.",
                          file, static_cast<unsigned>(kHeaderSize));
        case MapFault::LumpOutside:
            return Format(finding.lump == LUMP_ENTITIES
                              ? "The file: %s\nis damaged: its entity lump lies outside the file."
                              : "The file: %s\nis damaged: its texture lump lies outside the file.",
                          file);
        case MapFault::LumpInHeader:
            return Format("The file: %s\nis damaged: its entity lump overlaps the map header.",
                          file);
        case MapFault::NoTextTerminator:
            return Format("The file: %s\nis damaged: its entity text has no end inside the file.",
                          file);
        default:
            return finding.message;
    }
}

// Reads the opened map whole; with close, the file is closed afterwards (a failed close is a
// failed read).
Result<MapImage> ReadOpenedMap(IFile& file, const std::string& path, bool close) {
    const auto failure = [&](const char* message, int code) {
        return Failure{Format(message, path.c_str()), code};
    };
    try {
        MapImage image;
        try {
            image.identity = file.Status().identity;
        } catch (const CFileError& error) {
            return failure(kSizeFailed, error.ErrorCode());
        }
        const std::uint64_t size = image.identity.size;
        if (size > kMaxMapSize) {
            return failure(kTooLarge, EFBIG);
        }
        image.size = static_cast<std::uint32_t>(size);
        // Spare room lets a save with a longer text update the image in place; pages never
        // touched cost nothing.
        image.capacity = image.size + image.size / 16 + (64u << 10);
        image.bytes = std::make_unique_for_overwrite<std::uint8_t[]>(image.capacity);
        // A file that shrank while being read would leave part of the image undefined.
        if (file.Read(image.bytes.get(), image.size) != image.size) {
            return failure(kLoadFailed, 0);
        }
        if (close) {
            file.Close();
        }
        return image;
    } catch (const CFileError& error) {
        return failure(kLoadFailed, error.ErrorCode());
    } catch (const std::bad_alloc&) {
        return failure(kLoadFailed, ENOMEM);
    }
}

}  // namespace

std::string FileNameOfPath(const std::string& path) {
    const std::size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

CBspFile::CBspFile(IMessageSink& sink, IFileSystem& fileSystem)
    : m_sink(sink), m_fileSystem(fileSystem) {}

std::span<const std::uint8_t> CBspFile::Image() const {
    if (!m_bLoaded) {
        return {};
    }
    return {m_pImage.get(), m_nImageSize};
}

const char* CBspFile::GetEntityText() const {
    if (!m_bLoaded) {
        return nullptr;
    }
    const auto offset = ReadInt32LE(Image(), LumpOffsetField(m_variant.EntityEntry()));
    return reinterpret_cast<const char*>(m_pImage.get() + offset);
}

void CBspFile::ReleaseImage() {
    m_bLoaded = false;
    m_pImage.reset();
    m_nImageCapacity = 0;
    m_nEntityTextLength = 0;
    m_variant = MapVariant{};
    m_pHeld.reset();
}

void CBspFile::Show() {
    m_sink.ShowMessage(m_strMessage);
}

std::span<const std::uint8_t> MapImage::Bytes() const {
    return {bytes.get(), size};
}

Result<MapImage> ReadMapFile(IFileSystem& fileSystem, const std::string& path) {
    Result<std::unique_ptr<IFile>> opened = fileSystem.OpenLocked(path, MapLock::Shared, kLockWait);
    if (!opened) {
        return Failure{OpenFailureMessage(path, opened.Error()), opened.Error().code};
    }
    return ReadOpenedMap(**opened, path, true);
}

Result<MapExcerpt> InspectMapFile(IFileSystem& fileSystem, const std::string& path) {
    Result<std::unique_ptr<IFile>> opened = fileSystem.OpenLocked(path, MapLock::Shared, kLockWait);
    if (!opened) {
        return Failure{OpenFailureMessage(path, opened.Error()), opened.Error().code};
    }
    const auto failure = [&](const char* message, int code) {
        return Failure{Format(message, path.c_str()), code};
    };
    std::uint64_t size = 0;
    try {
        size = (*opened)->Size();
    } catch (const CFileError& error) {
        return failure(kSizeFailed, error.ErrorCode());
    }
    if (size > kMaxMapSize) {
        return failure(kTooLarge, EFBIG);
    }
    try {
        MapExcerpt excerpt;
        excerpt.bytes = std::make_unique<CFileBytes>(std::move(opened).Value(), size);
        excerpt.inspection = InspectMap(*excerpt.bytes);
        excerpt.bytes->CloseFile();
        return excerpt;
    } catch (const CFileError& error) {
        return failure(kLoadFailed, error.ErrorCode());
    } catch (const std::bad_alloc&) {
        return failure(kLoadFailed, ENOMEM);
    }
}

Result<MapExcerpt> ReadMapEntityText(IFileSystem& fileSystem, const std::string& path) {
    Result<MapExcerpt> read = InspectMapFile(fileSystem, path);
    if (read) {
        if (const MapFinding* refusal = read->inspection.FirstFatal()) {
            return Failure{RefusalMessage(*refusal, path), 0};
        }
    }
    return read;
}

int CBspFile::Load(std::string path, LoadMode mode) {
    // A failed load drops the map loaded before, as a successful one replaces it.
    ReleaseImage();
    Result<std::unique_ptr<IFile>> opened = m_fileSystem.OpenLocked(
        path, mode == LoadMode::ForSave ? MapLock::Exclusive : MapLock::Shared, kLockWait);
    if (!opened) {
        m_strMessage = OpenFailureMessage(path, opened.Error());
        Show();
        return 1;
    }
    Result<MapImage> read = ReadOpenedMap(**opened, path, mode == LoadMode::Read);
    if (!read) {
        m_strMessage = read.Error().message;
        Show();
        return 1;
    }
    const MapInspection inspection = InspectMap(read->Bytes());
    if (const MapFinding* refusal = inspection.FirstFatal()) {
        m_strMessage = RefusalMessage(*refusal, path);
        Show();
        return 1;
    }
    m_nEntityTextLength = inspection.entityText->size();
    m_variant = inspection.variant;
    m_nImageSize = read->size;
    m_nImageCapacity = read->capacity;
    m_pImage = std::move(read->bytes);
    m_loadedIdentity = read->identity;
    m_strLoadedPath = std::move(path);
    if (mode == LoadMode::ForSave) {
        m_pHeld = std::move(opened).Value();
    }
    m_bLoaded = true;
    return 0;
}

// Refuses, before anything is written, to replace a map that is not the one loaded any more,
// that may not be written, or whose other names a replacement would leave behind.
void CBspFile::CheckReplaceable(IFile& held, const std::string& target, bool loadedFile) {
    const FileStatus status = held.Status();
    if (loadedFile) {
        // The proof that nobody wrote it since: the path names the file held, and that file
        // has the identity it had when it was read (its own, its size, its times).
        const Result<FileIdentity> named = m_fileSystem.Identify(target);
        if (!(status.identity == m_loadedIdentity) || !named ||
            !named->SameFileAs(status.identity)) {
            m_bChangedOnDisk = true;
            throw SaveRefused{kChangedOnDisk};
        }
    }
    if (status.writeError == EROFS) {
        throw SaveRefused{WriteReason(EROFS)};
    }
    if (status.writeError != 0) {
        throw SaveRefused{kReadOnlyMap};
    }
    if (status.links > 1) {
        // A new file in its place would split the map from its other names; rewriting the
        // file itself could leave a torn map. Neither is done behind the user's back.
        const unsigned others = status.links - 1;
        throw SaveRefused{Format(kHardLinked, others, others == 1 ? "" : "s")};
    }
}

int CBspFile::Save(std::string path, std::string& entityText) {
    if (!m_bLoaded) {
        return 2;
    }
    m_bChangedOnDisk = false;
    const std::string name = FileNameOfPath(path);
    // A hold taken by Load ends with this save, whatever its outcome.
    std::unique_ptr<IFile> hold = std::move(m_pHeld);
    try {
        const std::string target = m_fileSystem.ResolveLinks(path);
        const bool loadedFile =
            path == m_strLoadedPath ||
            NormalPath(target) == NormalPath(m_fileSystem.ResolveLinks(m_strLoadedPath));
        if (!hold || !loadedFile) {
            hold.reset();
            Result<std::unique_ptr<IFile>> held =
                m_fileSystem.OpenLocked(target, MapLock::Exclusive, kLockWait);
            if (held) {
                hold = std::move(held).Value();
            } else if (held.Error().code != ENOENT) {
                throw SaveRefused{HoldReason(held.Error().code)};
            }
            // With nothing there, the save makes the file anew: nobody's map is lost.
        }
        if (hold) {
            CheckReplaceable(*hold, target, loadedFile);
        }
        PrepareFileText(entityText);

        SaveLayout layout;
        try {
            layout = PlanSave(Image(), m_variant, m_nEntityTextLength, entityText.size());
        } catch (const CLayoutRefusal& refusal) {
            throw CheckFailed{Format(kSaveFailed, name.c_str()) + "\n" + refusal.what()};
        }
        // Room for the image to follow the file written, claimed before anything is written.
        std::unique_ptr<std::uint8_t[]> grown;
        if (layout.newSize > m_nImageCapacity) {
            grown = std::make_unique_for_overwrite<std::uint8_t[]>(layout.newSize);
        }

        // The map is replaced only by a complete, flushed copy, so it is never left half
        // written; the copy takes the map's permissions, owner and attributes.
        Result<CNewFile> created = CNewFile::Create(m_fileSystem, target, target);
        if (!created) {
            throw CFileError(created.Error());
        }
        const std::span<const std::uint8_t> image = Image();
        ForEachSavedPiece(image, layout, entityText, [&](const void* data, std::size_t size) {
            created->File().Write(data, size);
        });
        const FileIdentity written = created->File().Status().identity;
        created->Replace();
        hold.reset();

        // The file written is now the one loaded: its identity as it stands in place (a
        // rename changes the change time), unless another program replaced it already.
        const Result<FileIdentity> placed = m_fileSystem.Identify(target);
        m_loadedIdentity = placed && placed->SameFileAs(written) ? *placed : written;
        m_strLoadedPath = path;

        // Keep the image in step with the file just written, so it can be saved again.
        if (grown) {
            std::memcpy(grown.get(), m_pImage.get(), m_nImageSize);
            m_pImage = std::move(grown);
            m_nImageCapacity = layout.newSize;
        }
        ApplySave(m_pImage.get(), layout, entityText);
        m_nImageSize = static_cast<std::uint32_t>(layout.newSize);
        // The variant stays: the entity lump was written where it was.
        // The new text ends at its first NUL, should the editor have held one.
        m_nEntityTextLength = std::min(entityText.find('\0'), entityText.size());

        m_strMessage = Format(kSaved, name.c_str());
        Show();
        return 0;
    } catch (const CheckFailed& failure) {
        m_strMessage = failure.message ? *failure.message : Format(kSaveFailed, name.c_str());
    } catch (const SaveRefused& refusal) {
        m_strMessage = Format(kSaveFailed, name.c_str()) + "\n" + refusal.reason;
    } catch (const CFileError& error) {
        m_strMessage = Format(kSaveFailed, name.c_str());
        if (error.ErrorCode() != 0) {
            m_strMessage += "\n" + WriteReason(error.ErrorCode());
        }
    } catch (const std::bad_alloc&) {
        m_strMessage = Format(kSaveFailed, name.c_str()) + "\n" + SystemText(ENOMEM) + ".";
    } catch (const std::exception&) {
        m_strMessage = Format(kSaveFailed, name.c_str());
    }
    hold.reset();
    Show();
    // The file is as it was (a save replaces it whole or not at all), so the image still is
    // the map on disk: kept, another Save tries the same again, and still notices a change
    // made on disk meanwhile, which a reload would take in silently.
    return 1;
}

}  // namespace entorra

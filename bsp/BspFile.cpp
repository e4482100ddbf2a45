#include "bsp/BspFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <optional>
#include <utility>

#include "base/ByteOrder.h"
#include "base/Format.h"
#include "bsp/BspFormat.h"
#include "bsp/FileText.h"
#include "bsp/MapInspection.h"
#include "bsp/MapLayout.h"
#include "io/AtomicWrite.h"

namespace entorra {
namespace {

constexpr const char* kOpenFailed =
    "Error openning the file: %s.\nMake sure it isn't opened in another program.";
constexpr const char* kSizeFailed = "Error reading the size of the file : %s.";
constexpr const char* kLoadFailed = "Error openning the file: %s.\n";
constexpr const char* kSaved = "The file:  %s\nwas saved!";
constexpr const char* kSaveFailed = "Error saving the file: %s.";

// A failed check inside Load or Save; carries the formatted message, if it has one.
struct CheckFailed {
    std::optional<std::string> message;
};

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
}

void CBspFile::Show() {
    m_sink.ShowMessage(m_strMessage);
}

std::span<const std::uint8_t> MapImage::Bytes() const {
    return {bytes.get(), size};
}

Result<MapImage> ReadMapFile(IFileSystem& fileSystem, const std::string& path) {
    const auto failure = [&](const char* message, int code) {
        return Failure{Format(message, path.c_str()), code};
    };
    Result<std::unique_ptr<IFile>> opened = fileSystem.OpenExclusive(path);
    if (!opened) {
        return failure(kOpenFailed, opened.Error().code);
    }
    IFile& file = **opened;
    try {
        std::uint64_t size = 0;
        try {
            size = file.Size();
        } catch (const CFileError& error) {
            return failure(kSizeFailed, error.ErrorCode());
        }
        if (size > kMaxMapSize) {
            return failure("The file: %s\nis too large for a map: maps are smaller than 2 GiB.",
                           EFBIG);
        }
        MapImage image;
        image.size = static_cast<std::uint32_t>(size);
        // Spare room lets a save with a longer text update the image in place; pages never
        // touched cost nothing.
        image.capacity = image.size + image.size / 16 + (64u << 10);
        image.bytes = std::make_unique_for_overwrite<std::uint8_t[]>(image.capacity);
        // A file that shrank while being read would leave part of the image undefined.
        if (file.Read(image.bytes.get(), image.size) != image.size) {
            return failure(kLoadFailed, 0);
        }
        file.Close();
        return image;
    } catch (const CFileError& error) {
        return failure(kLoadFailed, error.ErrorCode());
    } catch (const std::bad_alloc&) {
        return failure(kLoadFailed, ENOMEM);
    }
}

int CBspFile::Load(std::string path) {
    // A failed load drops the map loaded before, as a successful one replaces it.
    ReleaseImage();
    Result<MapImage> read = ReadMapFile(m_fileSystem, path);
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
    m_bLoaded = true;
    return 0;
}

int CBspFile::Save(std::string path, std::string& entityText) {
    if (!m_bLoaded) {
        return 2;
    }
    const std::string name = FileNameOfPath(path);
    std::unique_ptr<IFile> hold;
    try {
        const std::string target = m_fileSystem.ResolveLinks(path);
        Result<std::unique_ptr<IFile>> held = m_fileSystem.HoldForReplace(target);
        if (!held) {
            throw CheckFailed{};
        }
        hold = std::move(held).Value();
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

        // The map is replaced only by a complete, flushed copy, so it is never left half written.
        const std::span<const std::uint8_t> image = Image();
        WriteFileAtomically(m_fileSystem, target, [&](IFile& output) {
            ForEachSavedPiece(image, layout, entityText, [&](const void* data, std::size_t size) {
                output.Write(data, size);
            });
        });
        hold->Abort();

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
    } catch (const std::exception&) {
        m_strMessage = Format(kSaveFailed, name.c_str());
    }
    if (hold) {
        hold->Abort();
    }
    Show();
    ReleaseImage();
    return 1;
}

}  // namespace entorra

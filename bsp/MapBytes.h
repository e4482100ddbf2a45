#pragma once

// The bytes of a map as the inspection and the save plan read them. A map held whole in memory
// gives any of them at once; a map read for its entity text alone is read piece by piece, as far
// as those look into it, so that reading the entity text of a big map costs about what the text
// costs. Every piece asked for lies inside the file: callers check offsets against Size first.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "io/FileSystem.h"

namespace entorra {

class IMapBytes {
public:
    virtual ~IMapBytes() = default;
    // The size of the whole file.
    virtual std::uint64_t Size() const = 0;
    // The length bytes from offset on, inside the file (std::out_of_range otherwise). They stay
    // valid as long as this object does.
    virtual std::span<const std::uint8_t> Bytes(std::uint64_t offset, std::size_t length) = 0;
    // Where the first NUL at or after offset lies, or nothing when there is none before the end.
    virtual std::optional<std::uint64_t> FindNul(std::uint64_t offset) = 0;
};

// The bytes of an image in memory.
class CImageBytes final : public IMapBytes {
public:
    explicit CImageBytes(std::span<const std::uint8_t> image) : m_image(image) {}
    std::uint64_t Size() const override { return m_image.size(); }
    std::span<const std::uint8_t> Bytes(std::uint64_t offset, std::size_t length) override;
    std::optional<std::uint64_t> FindNul(std::uint64_t offset) override;

private:
    std::span<const std::uint8_t> m_image;
};

// The bytes of an open map file, read when first asked for and kept. The file's size is taken
// once; reads raise CFileError, also when the file turns out shorter (another program cut it)
// and once the file is closed.
class CFileBytes final : public IMapBytes {
public:
    CFileBytes(std::unique_ptr<IFile> file, std::uint64_t size)
        : m_pFile(std::move(file)), m_nSize(size) {}
    // Closes the file; the bytes read stay. Raises CFileError as IFile::Close does.
    void CloseFile();
    std::uint64_t Size() const override { return m_nSize; }
    std::span<const std::uint8_t> Bytes(std::uint64_t offset, std::size_t length) override;
    std::optional<std::uint64_t> FindNul(std::uint64_t offset) override;
    // How many bytes were read from the file so far.
    std::uint64_t BytesRead() const { return m_nBytesRead; }

private:
    struct Piece {
        std::uint64_t offset = 0;
        std::size_t length = 0;
        std::unique_ptr<std::uint8_t[]> bytes;
    };
    const Piece* PieceHolding(std::uint64_t offset, std::size_t length) const;
    const Piece& Read(std::uint64_t offset, std::size_t length);
    // The range copied together from pieces held, or null when they do not cover it.
    const Piece* Assemble(std::uint64_t offset, std::size_t length);

    std::unique_ptr<IFile> m_pFile;
    std::uint64_t m_nSize;
    std::vector<Piece> m_pieces;
    std::uint64_t m_nBytesRead = 0;
};

}  // namespace entorra

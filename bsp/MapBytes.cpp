#include "bsp/MapBytes.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace entorra {
namespace {

// The first piece a search for a NUL reads past what is held; each further one doubles.
constexpr std::size_t kFirstSearchPiece = 64 << 10;
constexpr std::size_t kLargestSearchPiece = 16 << 20;

void CheckInside(std::uint64_t size, std::uint64_t offset, std::size_t length) {
    if (offset > size || length > size - offset) {
        throw std::out_of_range("map bytes asked for outside the file");
    }
}

std::optional<std::uint64_t> NulIn(const std::uint8_t* bytes, std::uint64_t from,
                                   std::size_t length) {
    const void* nul = std::memchr(bytes, 0, length);
    if (nul == nullptr) {
        return std::nullopt;
    }
    return from + static_cast<std::uint64_t>(static_cast<const std::uint8_t*>(nul) - bytes);
}

}  // namespace

std::span<const std::uint8_t> CImageBytes::Bytes(std::uint64_t offset, std::size_t length) {
    CheckInside(m_image.size(), offset, length);
    return m_image.subspan(static_cast<std::size_t>(offset), length);
}

std::optional<std::uint64_t> CImageBytes::FindNul(std::uint64_t offset) {
    if (offset >= m_image.size()) {
        return std::nullopt;
    }
    return NulIn(m_image.data() + offset, offset,
                 m_image.size() - static_cast<std::size_t>(offset));
}

const CFileBytes::Piece* CFileBytes::PieceHolding(std::uint64_t offset, std::size_t length) const {
    for (const Piece& piece : m_pieces) {
        if (piece.offset <= offset && offset - piece.offset <= piece.length &&
            length <= piece.length - (offset - piece.offset)) {
            return &piece;
        }
    }
    return nullptr;
}

void CFileBytes::CloseFile() {
    const std::unique_ptr<IFile> file = std::move(m_pFile);
    if (file) {
        file->Close();
    }
}

const CFileBytes::Piece& CFileBytes::Read(std::uint64_t offset, std::size_t length) {
    if (!m_pFile) {
        throw CFileError("read: the file is closed", EBADF);
    }
    Piece piece{offset, length, std::make_unique_for_overwrite<std::uint8_t[]>(length)};
    if (m_pFile->ReadAt(offset, piece.bytes.get(), length) != length) {
        throw CFileError("read: the file ended before its size", EIO);
    }
    m_nBytesRead += length;
    m_pieces.push_back(std::move(piece));
    return m_pieces.back();
}

std::span<const std::uint8_t> CFileBytes::Bytes(std::uint64_t offset, std::size_t length) {
    CheckInside(m_nSize, offset, length);
    if (length == 0) {
        // Not null: an empty text is still a text that callers may search.
        static constexpr std::uint8_t kNothing = 0;
        return {&kNothing, 0};
    }
    const Piece* piece = PieceHolding(offset, length);
    if (piece == nullptr) {
        piece = Assemble(offset, length);
    }
    if (piece == nullptr) {
        piece = &Read(offset, length);
    }
    return {piece->bytes.get() + (offset - piece->offset), length};
}

const CFileBytes::Piece* CFileBytes::Assemble(std::uint64_t offset, std::size_t length) {
    // A text found running past its lump was read in pieces by the search for its NUL.
    std::vector<const Piece*> parts;
    for (std::uint64_t at = offset; at < offset + length;) {
        const Piece* part = PieceHolding(at, 1);
        if (part == nullptr) {
            return nullptr;
        }
        parts.push_back(part);
        at = part->offset + part->length;
    }
    Piece whole{offset, length, std::make_unique_for_overwrite<std::uint8_t[]>(length)};
    for (const Piece* part : parts) {
        const std::uint64_t from = std::max(offset, part->offset);
        const std::uint64_t to = std::min(offset + length, part->offset + part->length);
        std::memcpy(whole.bytes.get() + (from - offset), part->bytes.get() + (from - part->offset),
                    static_cast<std::size_t>(to - from));
    }
    m_pieces.push_back(std::move(whole));
    return &m_pieces.back();
}

std::optional<std::uint64_t> CFileBytes::FindNul(std::uint64_t offset) {
    std::size_t searchPiece = kFirstSearchPiece;
    while (offset < m_nSize) {
        // The pieces held already first: the entity lump's NUL is normally its last byte.
        if (const Piece* held = PieceHolding(offset, 1)) {
            const std::uint64_t skip = offset - held->offset;
            const std::size_t rest = held->length - static_cast<std::size_t>(skip);
            if (auto nul = NulIn(held->bytes.get() + skip, offset, rest)) {
                return nul;
            }
            offset += rest;
            continue;
        }
        // Up to the next piece held, so that nothing is read twice.
        std::uint64_t end = std::min<std::uint64_t>(m_nSize, offset + searchPiece);
        for (const Piece& piece : m_pieces) {
            if (piece.offset > offset) {
                end = std::min(end, piece.offset);
            }
        }
        const auto length = static_cast<std::size_t>(end - offset);
        const Piece& read = Read(offset, length);
        if (auto nul = NulIn(read.bytes.get(), offset, length)) {
            return nul;
        }
        offset = end;
        searchPiece = std::min(searchPiece * 2, kLargestSearchPiece);
    }
    return std::nullopt;
}

}  // namespace entorra

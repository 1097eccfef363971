// A reader of untrusted bytes: the block is "Exif\0\0", then a TIFF header
// (byte order, 42, the offset of the first directory), then directories of
// 12-byte entries. Only the first directory is read, where the orientation
// stands.
#include "web_pictures/exif_orientation.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr std::size_t kExifHeader = 6;  // "Exif\0\0"
constexpr std::uint16_t kOrientationTag = 274;
constexpr std::uint16_t kShortType = 3;

struct Tiff {
    const unsigned char* data;
    std::size_t size;
    bool big_endian;
};

// The 16 or 32 bits at offset, or false when they are not all inside.
bool read16(const Tiff& tiff, std::size_t offset, std::uint16_t& value)
{
    if (offset > tiff.size || tiff.size - offset < 2)
        return false;
    const unsigned char* p = tiff.data + offset;
    value = tiff.big_endian ? static_cast<std::uint16_t>(p[0] << 8 | p[1])
                            : static_cast<std::uint16_t>(p[1] << 8 | p[0]);
    return true;
}

bool read32(const Tiff& tiff, std::size_t offset, std::uint32_t& value)
{
    std::uint16_t first = 0, second = 0;
    if (!read16(tiff, offset, first) || !read16(tiff, offset + 2, second))
        return false;
    value = tiff.big_endian ? (std::uint32_t{first} << 16 | second) : (std::uint32_t{second} << 16 | first);
    return true;
}

}  // namespace

bool is_exif_block(const unsigned char* data, std::size_t size)
{
    return data && size >= kExifHeader && std::memcmp(data, "Exif\0\0", kExifHeader) == 0;
}

int exif_orientation(const unsigned char* data, std::size_t size)
{
    if (!is_exif_block(data, size))
        return 1;
    Tiff tiff{data + kExifHeader, size - kExifHeader, false};
    if (tiff.size < 8 || !(std::memcmp(tiff.data, "II", 2) == 0 || std::memcmp(tiff.data, "MM", 2) == 0))
        return 1;
    tiff.big_endian = tiff.data[0] == 'M';
    std::uint16_t magic = 0, entries = 0;
    std::uint32_t directory = 0;
    if (!read16(tiff, 2, magic) || magic != 42 || !read32(tiff, 4, directory) || !read16(tiff, directory, entries))
        return 1;
    for (std::uint32_t i = 0; i < entries; ++i) {
        std::size_t entry = std::size_t{directory} + 2 + std::size_t{i} * 12;
        std::uint16_t tag = 0, type = 0, value = 0;
        std::uint32_t count = 0;
        if (!read16(tiff, entry, tag) || !read16(tiff, entry + 2, type) || !read32(tiff, entry + 4, count) ||
            !read16(tiff, entry + 8, value))
            return 1;  // the directory runs past the block
        if (tag == kOrientationTag)
            return type == kShortType && count == 1 && value >= 1 && value <= 8 ? value : 1;
    }
    return 1;
}

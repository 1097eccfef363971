// The walk over a JPEG's segments up to its first frame or scan.
#include "picture_facts/metadata_segments.h"

#include <algorithm>

bool next_metadata_segment(std::string_view bytes, std::size_t& at, MetadataSegment& segment)
{
    auto byte = [&bytes](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    while (at + 4 <= bytes.size()) {
        // Bytes between segments are skipped, as the library skips them.
        if (byte(at) != 0xFF) {
            ++at;
            continue;
        }
        const unsigned marker = byte(at + 1);
        if (marker == 0xFF || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += marker == 0xFF ? 1 : 2;  // fill, or a marker that stands alone
            continue;
        }
        // A frame, a scan or the end: the image data begins.
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame || marker == 0xDA || marker == 0xD9 || marker == 0xD8)
            return false;
        const std::size_t next = at + 2 + (static_cast<std::size_t>(byte(at + 2)) << 8 | byte(at + 3));
        if (next > kMostMetadataBytes)
            return false;
        // A length under 2 is no segment's: it holds nothing.
        const std::size_t data_end = std::min(next, bytes.size());
        segment.marker = marker;
        segment.data = bytes.substr(at + 4, data_end > at + 4 ? data_end - (at + 4) : 0);
        at = next;
        return true;
    }
    return false;
}

std::size_t metadata_bytes_of(std::string_view bytes)
{
    if (bytes.size() < 4 || static_cast<unsigned char>(bytes[0]) != 0xFF ||
        static_cast<unsigned char>(bytes[1]) != 0xD8)
        return 0;
    std::size_t at = 2;
    MetadataSegment segment;
    while (next_metadata_segment(bytes, at, segment)) {
    }
    return at;
}

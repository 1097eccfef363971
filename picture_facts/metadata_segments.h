// The segments of a JPEG that hold its metadata: those before its image
// data, walked as libexiv2 walks them, never past what may be read.
#ifndef KORVEL_PICTURE_FACTS_METADATA_SEGMENTS_H
#define KORVEL_PICTURE_FACTS_METADATA_SEGMENTS_H

#include <cstddef>
#include <string_view>

// The most bytes of a picture's start that its metadata may take; a
// picture whose image data starts later is read no further.
constexpr std::size_t kMostMetadataBytes = 2u << 20;

// How many of a JPEG's first bytes hold its metadata: the bytes up to its
// first frame or scan. 0 when bytes start no JPEG; more than bytes.size()
// when the metadata goes on past them (up to kMostMetadataBytes).
std::size_t metadata_bytes_of(std::string_view bytes);

// One segment of a JPEG's metadata: its marker (0xE1 for EXIF and XMP,
// 0xED for Photoshop's resources ...) and as much of its data as the
// bytes hold.
struct MetadataSegment {
    unsigned marker = 0;
    std::string_view data;
};

// Steps to the next segment of a JPEG's metadata, from at (2, just past
// the picture's start, for the first), past stray bytes and markers that
// stand alone, as the library does. False at the image data, at the end
// of bytes, or past kMostMetadataBytes: at is then where the metadata
// ends, as metadata_bytes_of says.
bool next_metadata_segment(std::string_view bytes, std::size_t& at, MetadataSegment& segment);

#endif

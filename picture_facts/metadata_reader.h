// Reads what a JPEG picture says of itself from its metadata (EXIF, IPTC
// and XMP, read by libexiv2): the caption and title, the time taken and
// the camera, following the Metadata Working Group's guidelines for
// which of their places wins. Only the picture's first blocks are needed:
// those up to its image data.
#ifndef KORVEL_PICTURE_FACTS_METADATA_READER_H
#define KORVEL_PICTURE_FACTS_METADATA_READER_H

#include <cstddef>
#include <string_view>

#include "picture_facts/picture_facts.h"

// The most bytes of a picture's start that its metadata may take; a
// picture whose image data starts later is read no further.
constexpr std::size_t kMostMetadataBytes = 2u << 20;

// Sets the library up for reading on several threads, and mutes it:
// once, before any read, on the thread that starts the others.
void start_metadata_reader();

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

// The facts of the picture whose first bytes (at least metadata_bytes_of
// them) are given. Fails, with facts empty, when its metadata cannot be
// read (damaged, or no JPEG).
bool read_picture_facts(std::string_view bytes, PictureFacts& facts);

#endif

// Reads what a JPEG picture says of itself from its metadata (EXIF, IPTC
// and XMP, read by libexiv2): the caption and title, the time taken and
// the camera, following the Metadata Working Group's guidelines for
// which of their places wins. Only the picture's first blocks are needed:
// those up to its image data.
#ifndef KORVEL_PICTURE_FACTS_METADATA_READER_H
#define KORVEL_PICTURE_FACTS_METADATA_READER_H

#include <cstddef>
#include <string_view>

#include "picture_facts/metadata_segments.h"
#include "picture_facts/picture_facts.h"

// Sets the library up for reading on several threads, and mutes it:
// once, before any read, on the thread that starts the others.
void start_metadata_reader();

// The facts of the picture whose first bytes (at least metadata_bytes_of
// them) are given. Fails, with facts empty, when its metadata cannot be
// read (damaged, or no JPEG).
bool read_picture_facts(std::string_view bytes, PictureFacts& facts);

#endif

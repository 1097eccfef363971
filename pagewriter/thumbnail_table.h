// The top of the gallery: the anchor TOP and a table of thumbnails, twelve
// to a row, each linking to its picture's section by the picture's number.
#ifndef KORVEL_PAGEWRITER_THUMBNAIL_TABLE_H
#define KORVEL_PAGEWRITER_THUMBNAIL_TABLE_H

#include <cstdint>

#include "pagewriter/image_listing.h"
#include "pagewriter/page_sink.h"
#include "run/page_options.h"

// The folder beside the page that holds the thumbnails the table shows
// where a picture has one (ImageFile::thumbnail), and where they are made.
constexpr const char* kThumbnailFolderName = "korvel-thumbs";

// Writes the table and returns the number of pictures in it.
std::uint64_t write_thumbnail_table(PageSink& page, const PageOptions& options, const ImageList& images);

#endif

// The top of the gallery: the anchor TOP and a table of thumbnails, twelve
// to a row (on a page for the web, as many as the screen holds), each
// linking to its picture's section by the picture's number.
#ifndef KORVEL_PAGEWRITER_THUMBNAIL_TABLE_H
#define KORVEL_PAGEWRITER_THUMBNAIL_TABLE_H

#include <cstdint>
#include <string>
#include <vector>

#include "pagewriter/image_listing.h"
#include "pagewriter/page_sink.h"
#include "pagewriter/facts_lines.h"
#include "run/page_options.h"

// On a page for the web, the thumbnails a phone's first screen shows are
// not lazy: they are what its reader sees first.
constexpr std::uint64_t kEagerThumbnails = 48;

// Writes a picture of a table's cell, 60 pixels wide: its thumbnails where
// they are in place, the small one for plain screens and the large for
// screens of twice the density, in a <picture> with their WebP first where
// all four are; else the picture itself. Its pieces are found down the
// folders above (null: the page's own). Its alt text is what put_alt_text
// writes under alt_options, or empty (null: the cell says what it is).
void put_table_picture(PageSink& page, const ImageFile& image, const std::vector<std::string>* above,
                       const PageOptions* alt_options, const PictureFacts* facts, bool lazy);

// Writes the table and returns the number of pictures in it. A picture's
// cell shows its thumbnails where they are in place (ImageFile::pieces),
// each size and format offered for the browser to choose; else the picture.
// Under CAPTIONS, a picture's alt text is its caption where facts (one
// for each picture, or null) give one.
std::uint64_t write_thumbnail_table(PageSink& page, const PageOptions& options, const ImageList& images,
                                    const std::vector<PictureFacts>* facts = nullptr);

#endif

// The body of the gallery: one section per picture, in the table's order and
// with its numbers, each showing the picture's details as the options allow
// and the picture itself as a link to the next section (the last to the first).
#ifndef KORVEL_PAGEWRITER_IMAGE_ENTRIES_H
#define KORVEL_PAGEWRITER_IMAGE_ENTRIES_H

#include <cstdint>
#include <string>

#include "pagewriter/image_listing.h"
#include "pagewriter/page_sink.h"
#include "run/page_options.h"

// Writes the 24-character date text "Www Mmm dd hh:mm:ss yyyy" of a moment in local
// time, with English names and a zero-padded day, into text. Fails (text
// empty) when the system cannot convert the time, or when its year does not
// fit in four digits.
bool make_date_text(std::int64_t modified, std::string& text);

// The folder beside the page that holds the web-size views the sections
// show where a picture has one (ImageFile::view), and where they are made.
constexpr const char* kViewFolderName = "korvel-views";
constexpr unsigned kViewLongSide = 1600;

// The size of a picture's view, for a picture shown width by height: its
// long side kViewLongSide, its short side in proportion (at least 1), or
// the picture's own size when it is no longer than that.
void view_size_of(unsigned width, unsigned height, unsigned& view_width, unsigned& view_height);

void write_image_entries(PageSink& page, const PageOptions& options, const ImageList& images);

#endif

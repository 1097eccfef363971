// The body of the gallery: one section per picture, in the table's order and
// with its numbers, each showing the picture's details as the options allow
// and the picture itself as a link to the next section (the last to the first).
#ifndef KORVEL_PAGEWRITER_IMAGE_ENTRIES_H
#define KORVEL_PAGEWRITER_IMAGE_ENTRIES_H

#include <cstdint>
#include <string>

#include "pagewriter/image_listing.h"
#include "pagewriter/page_sink.h"
#include "pagewriter/facts_lines.h"
#include "run/page_options.h"

// Writes the 24-character date text "Www Mmm dd hh:mm:ss yyyy" of a moment in local
// time, with English names and a zero-padded day, into text. Fails (text
// empty) when the system cannot convert the time, or when its year does not
// fit in four digits.
bool make_date_text(std::int64_t modified, std::string& text);

// The same text for a time as a clock showed it; fails (text empty) for
// a time that is not sound.
bool make_wall_date_text(const WallTime& time, std::string& text);

// A section shows its picture's views where they are in place
// (ImageFile::pieces), each size and format offered for the browser to
// choose; else the picture itself.
// With facts (one for each picture, or null), a section follows CAPTIONS
// (its caption and title under its name line, and as its alt text),
// TAKEN (the date and time it was taken, where it has a sound one) and
// CAMERA.
void write_image_entries(PageSink& page, const PageOptions& options, const ImageList& images,
                         const std::vector<PictureFacts>* facts = nullptr);

#endif

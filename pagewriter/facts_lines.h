// What a picture says of itself, as the page shows it (CAPTIONS, CAMERA):
// its alt text and the lines under its section's name line.
#ifndef KORVEL_PAGEWRITER_FACTS_LINES_H
#define KORVEL_PAGEWRITER_FACTS_LINES_H

#include <vector>

#include "pagewriter/image_listing.h"
#include "pagewriter/page_sink.h"
#include "picture_facts/picture_facts.h"
#include "run/page_options.h"

// The facts of picture number i of images, or null when the run has none.
inline const PictureFacts* facts_of(const std::vector<PictureFacts>* facts, std::size_t i)
{
    return facts && i < facts->size() ? &(*facts)[i] : nullptr;
}

// True when the picture's alt text is its caption (and title).
bool has_caption_alt(const PageOptions& options, const PictureFacts* facts);

// Writes the alt text of a picture: its title and caption under CAPTIONS
// where it has either, else its name without the extension.
void put_alt_text(PageSink& page, const PageOptions& options, const ImageFile& image, const PictureFacts* facts);

// Writes the lines that follow a section's name line: the title and
// caption (CAPTIONS), the camera (CAMERA), each where the picture has it,
// each isolated from the direction of the text around it, and broken
// anywhere rather than wider than a phone's screen.
void put_facts_lines(PageSink& page, const PageOptions& options, const PictureFacts* facts);

#endif

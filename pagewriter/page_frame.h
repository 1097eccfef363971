// The two ends of the page that the tool writes itself: the default header,
// named after the folder, and the credit footer that ends every page.
#ifndef KORVEL_PAGEWRITER_PAGE_FRAME_H
#define KORVEL_PAGEWRITER_PAGE_FRAME_H

#include <string>
#include <string_view>

#include "pagewriter/page_sink.h"

// The last component of a directory path: what follows the last separator.
// A root ("/", or "C:\" with a backslash separator) gives an empty name, and
// so does a path without any separator.
std::string folder_name_of(std::string_view path, char separator);

void write_default_header(PageSink& page, std::string_view folder_name);
void write_credit_footer(PageSink& page);

#endif

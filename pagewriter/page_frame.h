// The two ends of the page that the tool writes itself: the default header,
// named after the folder, and the credit footer that ends every page.
#ifndef KORVEL_PAGEWRITER_PAGE_FRAME_H
#define KORVEL_PAGEWRITER_PAGE_FRAME_H

#include <cstdint>
#include <string>
#include <string_view>

#include "pagewriter/page_sink.h"

// The last component of a directory path: what follows the last separator.
// A root ("/", or "C:\" with a backslash separator) gives an empty name, and
// so does a path without any separator.
std::string folder_name_of(std::string_view path, char separator);

// The header named after the folder. On a page for the web (web), a
// modern document's: doctype, language, encoding, the screen's width and
// a description that gives the folder's name and its count of pictures.
void write_default_header(PageSink& page, std::string_view folder_name, bool web = false,
                          std::uint64_t pictures = 0);
void write_credit_footer(PageSink& page);

// True when the last bytes of a page end as every page korvel writes ends,
// with its credit footer (line ends as CR LF or LF): a page korvel made,
// not one of the user's own.
bool ends_with_credit_footer(std::string_view page_end);

#endif

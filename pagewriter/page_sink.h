// Where the writers put the page. A sink without a file keeps the whole page
// in memory (tests read it from pending); with a file, it hands the bytes on
// in large pieces, so a page of a million pictures costs a few hundred
// system calls rather than millions.
#ifndef KORVEL_PAGEWRITER_PAGE_SINK_H
#define KORVEL_PAGEWRITER_PAGE_SINK_H

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform_file.h"

struct PageSink {
    std::string pending;           // bytes not yet handed to the file
    PlatformFile* file = nullptr;  // null: keep everything in memory
    bool failed = false;           // a write to the file has failed
};

// Each put appends to the page. A failed write to the file is remembered in
// failed; later puts are then dropped, and flush_sink reports it.
void put_text(PageSink& sink, std::string_view text);
void put_number(PageSink& sink, std::uint64_t number);
// A name as HTML text, with & < > ' " as entities.
void put_html(PageSink& sink, std::string_view text);
// A file name as the URL of an img src (or, in_srcset, of a srcset),
// escaped for the URL and for HTML.
void put_url(PageSink& sink, std::string_view name, bool in_srcset = false);

// Hands everything pending to the file. Fails when this or any earlier
// write failed. Without a file it does nothing and succeeds.
bool flush_sink(PageSink& sink);

#endif

// The options inside the marker tag: the tool's only configuration.
#ifndef KORVEL_TEMPLATING_MARKER_OPTIONS_H
#define KORVEL_TEMPLATING_MARKER_OPTIONS_H

#include <string_view>

struct PageOptions;

// Applies the options of an upper-cased tag text ("<KORVEL NODATE ...",
// without its ">") to options. Tokens are split at blanks only. NODATE,
// NOTIME, NONAME, NOFILESIZE and NOHR must be the whole token; NOEXT and
// NODET may stand anywhere in it; a token starting with BORDER becomes the
// table's attributes, the last one winning. NODET then also clears the
// date, the time and the size.
void parse_marker_options(std::string_view tag_text, PageOptions& options);

#endif

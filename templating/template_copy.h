// The user's template "korvel0.htm" around the gallery. The head, up to the
// marker tag "<KORVEL ...>", goes before the gallery; the tag's options set
// the gallery's details; the rest of the template goes after the gallery.
#ifndef KORVEL_TEMPLATING_TEMPLATE_COPY_H
#define KORVEL_TEMPLATING_TEMPLATE_COPY_H

#include <cstddef>
#include <string>

#include "platform/input_file.h"

struct GalleryRun;
struct PageOptions;

// The template as it is read. Without a file, buffer holds all of it (tests
// hand a template in this way); with one, buffer is refilled from it.
struct TemplateSource {
    PlatformFile* file = nullptr;
    std::string buffer;
    std::size_t position = 0;
    bool failed = false;  // a read error; the copy ends there
};

// The longest piece of a line that one read takes; the rest of a longer
// line follows as the next template lines.
constexpr std::size_t kTemplateLineMax = 259;

// Reads the next template line into line: up to and including its line end,
// or its first kTemplateLineMax characters. A CR LF pair reads as "\n"; a
// lone CR stays. Returns false at the end of the template, or on a read
// error, which also sets source.failed.
bool read_template_line(TemplateSource& source, std::string& line);

// Where the marker tag starts in line, or npos when the line has none: the
// first "<KORVEL" followed by a blank or the line end, in a line that does
// not hold the bare "<KORVEL>".
std::size_t find_marker(const std::string& line);

// Copies the template to run.page up to the marker tag, and the text in front
// of the tag on its line. A tag without ">" on its line goes on over the
// following lines. A keyword that the length limit cuts ("<KORV" at the end
// of one piece, "EL NODATE>" at the start of the next) still counts, on the
// line where it starts. Applies the tag's options to options, keeps what follows
// its ">" in run.marker_rest, and writes the default header when the tag
// starts on the first line. Without a marker, copies the whole template.
// A read error ends the copy and is left in run.template_source.failed.
void copy_template_head(GalleryRun& run, PageOptions& options);

// Writes run.marker_rest and the rest of the template to run.page, and closes
// the template file. A read error ends the copy as copy_template_head does.
void copy_template_tail(GalleryRun& run);

#endif

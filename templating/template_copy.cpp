#include "templating/template_copy.h"

#include "pagewriter/page_frame.h"
#include "run/gallery_run.h"
#include "run/page_options.h"
#include "templating/marker_options.h"
#include "text/text_helpers.h"

namespace {

constexpr std::size_t kReadSize = 64 * 1024;
constexpr std::string_view kKeyword = "<KORVEL";

// Makes sure a byte is waiting in the buffer; false at the end or on error.
bool fill(TemplateSource& source)
{
    if (source.position < source.buffer.size())
        return true;
    if (!source.file || source.failed)
        return false;
    source.buffer.resize(kReadSize);
    std::size_t got = 0;
    if (!read_input_file(*source.file, &source.buffer[0], kReadSize, got)) {
        source.failed = true;
        got = 0;
    }
    source.buffer.resize(got);
    source.position = 0;
    return got > 0;
}

}  // namespace

bool read_template_line(TemplateSource& source, std::string& line)
{
    line.clear();
    while (line.size() < kTemplateLineMax && fill(source)) {
        char c = source.buffer[source.position++];
        // A CR LF pair is one line end, as a text-mode read gives it; the
        // CR is dropped before it can count towards the line's length.
        if (c == '\r' && fill(source) && source.buffer[source.position] == '\n')
            continue;
        line.push_back(c);
        if (c == '\n')
            break;
    }
    return !line.empty();
}

std::size_t find_marker(const std::string& line)
{
    if (line.find("<KORVEL>") != std::string::npos)
        return std::string::npos;
    for (std::size_t at = line.find(kKeyword); at != std::string::npos; at = line.find(kKeyword, at + 1)) {
        std::size_t after = at + kKeyword.size();
        // A keyword inside a longer word ("<KORVELX") is ordinary text.
        if (after < line.size() && (line[after] == ' ' || line[after] == '\n'))
            return at;
    }
    return std::string::npos;
}

namespace {

// Where a marker keyword starts in piece when the length limit cut it there
// and next completes it ("<KORV" then "EL NODATE>"), or npos.
std::size_t find_cut_marker(const std::string& piece, const std::string& next)
{
    // Only a piece that the length limit cut, not a line end, can end inside
    // the keyword, and a piece with the bare tag is no marker line.
    if (piece.size() < kTemplateLineMax || piece.back() == '\n' || piece.find("<KORVEL>") != std::string::npos)
        return std::string::npos;
    std::size_t at = piece.rfind('<');
    if (at == std::string::npos || piece.size() - at > kKeyword.size())
        return std::string::npos;
    std::string joined = piece.substr(at) + next.substr(0, kKeyword.size() + 1);
    return find_marker(joined) == 0 ? at : std::string::npos;
}

}  // namespace

void copy_template_head(GalleryRun& run, PageOptions& options)
{
    std::string line, next;
    bool have_next = false;  // next holds a piece read ahead and not yet used
    for (;;) {
        if (have_next)
            line.swap(next);
        else if (!read_template_line(run.template_source, line))
            return;
        have_next = false;
        ++run.line_number;
        std::size_t at = find_marker(line);
        if (at == std::string::npos && line.size() == kTemplateLineMax) {
            // The keyword may run on into the next piece.
            have_next = read_template_line(run.template_source, next);
            if (have_next)
                at = find_cut_marker(line, next);
        }
        // The end of the template ends its last line as a line end would.
        if (at == std::string::npos && !have_next && line.back() != '\n')
            at = find_marker(line + '\n');
        if (at == std::string::npos) {
            put_text(run.page, line);
            continue;
        }

        const bool on_first_line = run.line_number == 1;
        // Text in front of the tag stays where the tag stands: a line such
        // as "<td><KORVEL NODATE></td>" keeps its cell.
        put_text(run.page, std::string_view(line).substr(0, at));

        // A tag without ">" on its line goes on over the next lines, up to
        // the first ">" or the end of the template.
        std::string tag = line.substr(at);
        if (have_next) {
            ++run.line_number;
            tag += next;
        }
        std::size_t close = tag.find('>');
        while (close == std::string::npos && read_template_line(run.template_source, line)) {
            ++run.line_number;
            const std::size_t searched = tag.size();
            tag += line;
            close = tag.find('>', searched);
        }
        if (close != std::string::npos) {
            run.marker_rest = tag.substr(close);
            drop_first_char(run.marker_rest);  // the ">" itself
            cut_at_char(tag, '>');
        }
        // Line ends inside the tag separate options like blanks.
        for (char& c : tag)
            if (c == '\n')
                c = ' ';
        upper_in_place(tag);
        parse_marker_options(tag, options);

        if (on_first_line)
            write_default_header(run.page, run.folder_name, is_web_page(options), run.picture_count);
        return;
    }
}

void copy_template_tail(GalleryRun& run)
{
    put_text(run.page, run.marker_rest);
    std::string line;
    while (read_template_line(run.template_source, line))
        put_text(run.page, line);
    if (run.template_source.file)
        close_input_file(*run.template_source.file);
}

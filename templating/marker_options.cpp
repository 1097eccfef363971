#include "templating/marker_options.h"

#include "run/page_options.h"
#include "text/text_helpers.h"

namespace {

bool contains(std::string_view token, std::string_view word)
{
    return token.find(word) != std::string_view::npos;
}

void apply_option(std::string_view token, PageOptions& options)
{
    // One token may meet several tests: NOEXT_NODET clears both flags.
    if (token == "NODATE")
        options.show_date = false;
    if (token == "NOTIME")
        options.show_time = false;
    if (contains(token, "NOEXT"))
        options.show_extension = false;
    if (token == "NONAME")
        options.show_name = false;
    if (token == "NOFILESIZE")
        options.show_file_size = false;
    if (token == "NOHR")
        options.show_rule = false;
    if (contains(token, "NODET"))
        options.show_details = false;
    if (token == "LAZY")
        options.eager_pictures = false;
    if (token == "THUMBS")
        options.full_size_thumbnails = false;
    if (token == "VIEWS")
        options.full_size_sections = false;
    if (token == "CAPTIONS")
        options.show_captions = true;
    if (token == "TAKEN")
        options.show_time_taken = true;
    if (token == "CAMERA")
        options.show_camera = true;
    if (token == "BYDATE")
        options.order_by_date = true;
    if (token == "ALBUMS")
        options.albums = true;
    if (left_text(token, 6) == "BORDER")
        options.table_attributes = std::string(token);
}

}  // namespace

void parse_marker_options(std::string_view tag_text, PageOptions& options)
{
    std::size_t start = 0;
    while (start < tag_text.size()) {
        std::size_t end = tag_text.find(' ', start);
        if (end == std::string_view::npos)
            end = tag_text.size();
        if (end > start)
            apply_option(tag_text.substr(start, end - start), options);
        start = end + 1;
    }
    if (!options.show_details) {
        options.show_date = false;
        options.show_time = false;
        options.show_file_size = false;
    }
}

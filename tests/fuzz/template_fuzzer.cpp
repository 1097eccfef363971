// libFuzzer harness: arbitrary bytes as a template around a small gallery,
// as a marker tag's text, and as names to escape. Besides the sanitizers'
// findings it stops on a broken promise of the code under test.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "pagewriter/image_entries.h"
#include "pagewriter/image_listing.h"
#include "pagewriter/thumbnail_table.h"
#include "run/gallery_run.h"
#include "run/page_options.h"
#include "templating/marker_options.h"
#include "templating/template_copy.h"
#include "text/text_helpers.h"

namespace {

void check(bool promise)
{
    if (!promise)
        std::abort();
}

// Nothing escaped may hold a byte that ends a quoted attribute or starts markup.
void check_escaped(const std::string& out)
{
    check(out.find_first_of("<>'\"") == std::string::npos);
}

std::string html_unescaped(const std::string& text)
{
    static const char* const entities[][2] = {
        {"&amp;", "&"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&#39;", "'"}, {"&quot;", "\""}};
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        bool replaced = false;
        for (const auto& entity : entities) {
            if (text.compare(i, std::strlen(entity[0]), entity[0]) == 0) {
                out += entity[1];
                i += std::strlen(entity[0]);
                replaced = true;
                break;
            }
        }
        if (!replaced) {
            check(text[i] != '&');  // every & starts an entity
            out += text[i++];
        }
    }
    return out;
}

std::string percent_decoded(const std::string& url)
{
    std::string out;
    for (std::size_t i = 0; i < url.size(); ++i) {
        if (url[i] != '%') {
            out += url[i];
            continue;
        }
        check(i + 2 < url.size() && std::isxdigit(static_cast<unsigned char>(url[i + 1])) &&
              std::isxdigit(static_cast<unsigned char>(url[i + 2])));
        out += static_cast<char>(std::stoi(url.substr(i + 1, 2), nullptr, 16));
        i += 2;
    }
    return out;
}

void check_details_rule(const PageOptions& options)
{
    if (!options.show_details)
        check(!options.show_date && !options.show_time && !options.show_file_size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);

    GalleryRun run;
    run.folder_name = "Fuzz";
    run.template_open = true;
    run.template_source.buffer = input;
    PageOptions options;
    copy_template_head(run, options);
    check_details_rule(options);
    ImageList images;
    add_image(images, "a.jpg", 1, 0);
    if (size >= 4 && is_picture_name(input.substr(size - 4)))
        add_image(images, input, size, static_cast<std::int64_t>(size) * 86400);
    write_thumbnail_table(run.page, options, images);
    write_image_entries(run.page, options, images);
    copy_template_tail(run);
    // Every template line was read once: the copy ends at the template's end.
    check(run.template_source.position == run.template_source.buffer.size());

    PageOptions direct;
    parse_marker_options(input, direct);
    check_details_rule(direct);

    // Both escapes must give back the very bytes of the name to a browser.
    std::string html;
    append_html_escaped(html, input);
    check_escaped(html);
    check(html_unescaped(html) == input);

    std::string url;
    append_url_escaped(url, input, false);
    check_escaped(url);
    const std::string raw_url = html_unescaped(url);
    // Nothing that ends the path or names a scheme, no control or high byte.
    check(raw_url.find_first_of("#?\\:") == std::string::npos);
    for (unsigned char c : raw_url)
        check(c >= 0x20 && c < 0x7F);
    check(percent_decoded(raw_url) == input);
    return 0;
}

#include "pagewriter/page_frame.h"

#include "pagewriter/credit.h"
#include "text/text_helpers.h"

std::string folder_name_of(std::string_view path, char separator)
{
    std::size_t last = path.rfind(separator);
    if (last == std::string_view::npos)
        return std::string();
    std::string name(path.substr(last));
    drop_first_char(name);  // the separator itself
    return name;
}

void write_default_header(PageSink& page, std::string_view folder_name, bool web, std::uint64_t pictures)
{
    if (web) {
        // What a phone, a search engine and a plain static server need:
        // the page laid out at the screen's width, in its language and
        // encoding, described, and no icon fetched that is not there.
        put_text(page, "<!DOCTYPE html>\n<html lang='en'><head><meta charset='utf-8'>\n"
                       "<meta name='viewport' content='width=device-width, initial-scale=1'>\n"
                       "<meta name='description' content='");
        if (!folder_name.empty()) {
            put_html(page, folder_name);
            put_text(page, ": ");
        }
        put_number(page, pictures);
        put_text(page, pictures == 1 ? " picture'>\n" : " pictures'>\n");
        put_text(page, "<link rel='icon' href='data:,'>\n<title>");
    } else {
        put_text(page, "<html><head><title>");
    }
    put_html(page, folder_name);
    // On a phone, a long name breaks rather than widen the page.
    put_text(page, web ? "</title></head>\n<body><center><h1 style='overflow-wrap:anywhere'>"
                       : "</title></head>\n<body><center><h1>");
    put_html(page, folder_name);
    put_text(page, "</h1>\n");
}

namespace {
// The credit values are the builder's own HTML, written as they stand.
constexpr std::string_view kCreditFooter =
    "<p><i>This page was made with Korvel by "
    "<a href='http://" KORVEL_CREDIT_HOST "/Korvel/index.html'>" KORVEL_CREDIT_MAKER "</a> " KORVEL_CREDIT_TOWN
    "</i>\n</body></html>";
}  // namespace

void write_credit_footer(PageSink& page)
{
    put_text(page, kCreditFooter);
}

bool ends_with_credit_footer(std::string_view page_end)
{
    std::string end;
    end.reserve(page_end.size());
    for (char c : page_end)
        if (c != '\r')
            end += c;
    return end.size() >= kCreditFooter.size() &&
           end.compare(end.size() - kCreditFooter.size(), std::string::npos, kCreditFooter) == 0;
}

// libFuzzer harness: arbitrary bytes as a template around a small gallery,
// as a marker tag's text, as names to escape, as a picture and an EXIF
// block to make a thumbnail of, and as a picture's metadata to read its
// caption, time and camera from. Besides the sanitizers'
// findings it stops on a broken promise of the code under test.
#include <cctype>
#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "pagewriter/image_entries.h"
#include "pagewriter/image_listing.h"
#include "pagewriter/thumbnail_table.h"
#include "picture_facts/caption_text.h"
#include "picture_facts/metadata_reader.h"
#include "run/gallery_run.h"
#include "run/page_options.h"
#include "templating/marker_options.h"
#include "templating/template_copy.h"
#include "text/text_helpers.h"
#include "web_pictures/exif_orientation.h"
#include "web_pictures/web_picture_image.h"
#include "web_pictures/web_picture_record.h"

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

// A reference for what a browser reads in a name's bytes, defined apart from
// the code under test: a well-formed sequence is the encoding of a scalar
// value (so no overlong forms, surrogates, or values above U+10FFFF), and an
// ill-formed one is replaced by U+FFFD once for its longest start that could
// still have begun a well-formed sequence.
std::string utf8_of(char32_t c)
{
    std::string out;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

struct Utf8Reference {
    std::map<std::string, char32_t> sequences;  // every well-formed multi-byte sequence
    std::set<std::string> starts;               // every proper start of one
    Utf8Reference()
    {
        for (char32_t c = 0x80; c <= 0x10FFFF; ++c) {
            if (c >= 0xD800 && c <= 0xDFFF)
                continue;
            std::string bytes = utf8_of(c);
            sequences.emplace(bytes, c);
            for (std::size_t n = 1; n < bytes.size(); ++n)
                starts.insert(bytes.substr(0, n));
        }
    }
};

// The characters a browser reads in name, C1 controls as U+FFFD.
std::vector<char32_t> characters_of(const std::string& name)
{
    static const Utf8Reference reference;
    std::vector<char32_t> out;
    for (std::size_t i = 0; i < name.size();) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (c < 0x80) {
            out.push_back(c);
            ++i;
            continue;
        }
        std::size_t taken = 0;
        for (std::size_t n = 2; n <= 4 && !taken; ++n) {
            auto found = reference.sequences.find(name.substr(i, n));
            if (found != reference.sequences.end()) {
                out.push_back(found->second <= 0x9F ? 0xFFFD : found->second);
                taken = n;
            }
        }
        if (!taken) {
            taken = 1;
            for (std::size_t n = 2; n <= 3; ++n)
                if (i + n <= name.size() && reference.starts.count(name.substr(i, n)))
                    taken = n;
            out.push_back(0xFFFD);
        }
        i += taken;
    }
    return out;
}

// The characters of HTML text as a browser reads its entities and
// references; every & must start one.
std::vector<char32_t> characters_of_html(const std::string& text)
{
    static const char* const entities[][2] = {
        {"&amp;", "&"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&#39;", "'"}, {"&quot;", "\""}};
    std::vector<char32_t> out;
    for (std::size_t i = 0; i < text.size();) {
        bool replaced = false;
        for (const auto& entity : entities) {
            if (text.compare(i, std::strlen(entity[0]), entity[0]) == 0) {
                out.push_back(static_cast<unsigned char>(entity[1][0]));
                i += std::strlen(entity[0]);
                replaced = true;
                break;
            }
        }
        if (replaced)
            continue;
        if (text[i] == '&') {
            check(text.compare(i, 2, "&#") == 0);
            std::size_t end = text.find(';', i);
            check(end != std::string::npos && end > i + 2 && end - i <= 9);
            std::string digits = text.substr(i + 2, end - i - 2);
            check(digits.find_first_not_of("0123456789") == std::string::npos);
            char32_t c = static_cast<char32_t>(std::stoul(digits));
            check(c > 0x9F && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF));
            out.push_back(c);
            i = end + 1;
            continue;
        }
        out.push_back(static_cast<unsigned char>(text[i++]));
    }
    return out;
}

// Undoes the five entities of an attribute.
std::string html_unescaped(const std::string& text)
{
    std::string out;
    for (char32_t c : characters_of_html(text)) {
        check(c < 0x80);
        out += static_cast<char>(c);
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

    // Untrusted pictures: the EXIF reader stays inside its block, and a
    // thumbnail or view, where one is made, is a JPEG.
    int orientation = exif_orientation(data, size);
    check(orientation >= 1 && orientation <= 8);
    WebPictureOrder order;
    std::fill(order.wanted, order.wanted + kKinds, true);
    const char* const marks[kKinds] = {"t", "v", "st", "sv", "tw", "vw", "stw", "svw"};
    order.marks = marks;
    WebPictures made;
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xD8) {  // else the template's input, fuzzed at full speed
        make_web_pictures_of(data, size, order, made);
        for (std::size_t kind = 0; kind < kKinds; ++kind)
            check(made.made[kind] ? (kPieceKinds[kind].webp ? made.bytes[kind].compare(0, 4, "RIFF") == 0
                                                          : made.bytes[kind].compare(0, 2, "\xFF\xD8") == 0)
                                  : made.bytes[kind].empty());
    }

    // What a picture says of itself is clean text, kept as it was read.
    static const bool started = (start_metadata_reader(), true);
    (void)started;
    PictureFacts facts;
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xD8 && read_picture_facts(input, facts)) {
        for (const std::string* text : {&facts.title, &facts.caption, &facts.camera})
            check(is_utf8(*text) && clean_text(*text) == *text && text->size() <= kMostCaptionBytes);
        check(!facts.taken.known || is_sound_wall_time(facts.taken));
        PictureFacts again;
        check(read_facts(facts_bytes(facts), again) && facts_bytes(again) == facts_bytes(facts));
    }
    if (read_facts(input, facts))
        check(facts_bytes(facts) == input);
    const std::string cleaned = clean_text(input);
    check(is_utf8(cleaned) && cleaned.size() <= kMostCaptionBytes && clean_text(cleaned) == cleaned);

    // The records: what reads as one is written back the same.
    for (bool facts_record : {false, true}) {
        std::vector<RecordEntry> entries;
        if (read_record(input, entries, facts_record))
            check(record_bytes(entries, facts_record) == input);
        else
            check(entries.empty());
    }

    PageOptions direct;
    parse_marker_options(input, direct);
    check_details_rule(direct);

    // Both escapes are pure ASCII. The text must read as the name's
    // characters, and the URL give back its very bytes.
    std::string html;
    append_html_escaped(html, input);
    check_escaped(html);
    for (unsigned char c : html)
        check(c < 0x80);
    check(characters_of_html(html) == characters_of(input));

    std::string url;
    append_url_escaped(url, input);
    check_escaped(url);
    const std::string raw_url = html_unescaped(url);
    // Nothing that ends the path or names a scheme, no control or high byte.
    check(raw_url.find_first_of("#?\\:") == std::string::npos);
    for (unsigned char c : raw_url)
        check(c >= 0x20 && c < 0x7F);
    check(percent_decoded(raw_url) == input);
    // In a srcset, where a blank ends the URL and a comma the candidate,
    // neither stands in it.
    std::string in_srcset;
    append_url_escaped(in_srcset, input, true);
    const std::string raw_srcset = html_unescaped(in_srcset);
    check(raw_srcset.find_first_of(" ,#?\\:") == std::string::npos);
    check(percent_decoded(raw_srcset) == input);
    return 0;
}

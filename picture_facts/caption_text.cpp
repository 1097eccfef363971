#include "picture_facts/caption_text.h"

#include <algorithm>

#include "text/text_helpers.h"

namespace {

bool is_blank_like(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 || c == 0x85 || c == 0xA0 ||
           c == 0x3000;
}

bool is_direction_mark(char32_t c)
{
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

char lower_ascii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool same_ignoring_case(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower_ascii(a[i]) != lower_ascii(b[i]))
            return false;
    return true;
}

bool contains_ignoring_case(std::string_view text, std::string_view word)
{
    for (std::size_t at = 0; at + word.size() <= text.size(); ++at)
        if (same_ignoring_case(text.substr(at, word.size()), word))
            return true;
    return false;
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\0'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0'))
        text.remove_suffix(1);
    return text;
}

// Cameras' fillers, as their makers write them into every picture.
constexpr const char* const kFillers[] = {"OLYMPUS DIGITAL CAMERA",
                                          "SONY DSC",
                                          "DCF 1.0",
                                          "DCF1.0",
                                          "DIGITAL CAMERA",
                                          "KONICA MINOLTA DIGITAL CAMERA",
                                          "MINOLTA DIGITAL CAMERA",
                                          "KODAK Digital Still Camera",
                                          "EASTMAN KODAK COMPANY",
                                          "Exif_JPEG_PICTURE",
                                          "Exif JPEG",
                                          "SAMSUNG",
                                          "SAMSUNG CAMERA PICTURES",
                                          "LEICA",
                                          "Default",
                                          "default",
                                          "CAMERA",
                                          "Camera",
                                          "PENTAX DIGITAL CAMERA",
                                          "Photo",
                                          "Picture",
                                          "image",
                                          "Image",
                                          "Untitled",
                                          "Created with GIMP",
                                          "Digital Camera",
                                          "HUAWEI",
                                          "MOTOROLA",
                                          "Nikon"};

std::size_t words_in(std::string_view text)
{
    std::size_t words = text.empty() ? 0 : 1;
    for (char c : text)
        words += c == ' ' ? 1 : 0;
    return words;
}

bool ends_with(std::string_view text, std::string_view end)
{
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// A filler by its form, whoever made the camera: "<MAKER> DIGITAL CAMERA"
// and "<MAKER> DSC" as cameras write them, in capitals after a few words
// of the maker's; "DCF 1.0", "DCF2.2" (the camera file system's version).
bool is_camera_form(std::string_view caption)
{
    for (std::string_view end : {std::string_view(" DIGITAL CAMERA"), std::string_view(" DSC")}) {
        const std::string_view maker = caption.substr(0, caption.size() - std::min(end.size(), caption.size()));
        if (ends_with(caption, end) && words_in(maker) <= 3 &&
            std::none_of(maker.begin(), maker.end(), [](char c) { return c >= 'a' && c <= 'z'; }))
            return true;
    }
    if (caption.size() < 3 || !same_ignoring_case(caption.substr(0, 3), "DCF"))
        return false;
    std::size_t at = caption.size() > 3 && caption[3] == ' ' ? 4 : 3;
    const std::size_t point = caption.find('.', at);
    auto digits = [&caption](std::size_t from, std::size_t to) {
        if (from >= to)
            return false;
        for (std::size_t i = from; i < to; ++i)
            if (caption[i] < '0' || caption[i] > '9')
                return false;
        return true;
    };
    return point != std::string_view::npos && digits(at, point) && digits(point + 1, caption.size());
}

}  // namespace

std::string clean_text(std::string_view bytes, std::size_t most)
{
    // Far more than is kept: a hostile megabyte costs nothing.
    bytes = bytes.substr(0, 4 * most + 64);
    std::string out;
    bool blank = false;
    for (std::size_t i = 0; i < bytes.size();) {
        char32_t c;
        i += decode_utf8(bytes, i, c);
        if (c == 0 || is_direction_mark(c))
            continue;
        if (c == ' ' || is_blank_like(c)) {
            blank = !out.empty();
            continue;
        }
        if (blank)
            out += ' ';
        blank = false;
        append_utf8(out, c);
    }
    if (out.size() <= most)
        return out;
    // Cut at a character's boundary, leaving room for the ellipsis.
    std::size_t cut = most >= 3 ? most - 3 : 0;
    while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80)
        --cut;
    out.resize(cut);
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out + "\xE2\x80\xA6";
}

std::string windows_1252_to_utf8(std::string_view bytes)
{
    // 0x80 to 0x9F; 0 where windows-1252 has no character.
    static const char16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                       0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                       0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                       0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    std::string out;
    for (char byte : bytes) {
        const unsigned char b = static_cast<unsigned char>(byte);
        char32_t c = b;
        if (b >= 0x80 && b <= 0x9F)
            c = kHigh[b - 0x80] ? kHigh[b - 0x80] : 0xFFFD;
        append_utf8(out, c);
    }
    return out;
}

bool is_utf8(std::string_view bytes)
{
    for (std::size_t i = 0; i < bytes.size();) {
        char32_t c;
        const std::size_t length = decode_utf8(bytes, i, c);
        if (c == 0xFFFD && !(length == 3 && bytes.substr(i, 3) == "\xEF\xBF\xBD"))
            return false;
        i += length;
    }
    return true;
}

bool is_filler_caption(std::string_view caption, std::string_view make, std::string_view model)
{
    caption = trimmed(caption);
    if (caption.empty())
        return true;
    for (const char* filler : kFillers)
        if (same_ignoring_case(caption, filler))
            return true;
    if (is_camera_form(caption))
        return true;
    // The camera's own name: its make, its model, or both.
    make = trimmed(make);
    model = trimmed(model);
    const std::string both = std::string(make) + " " + std::string(model);
    const std::string turned = std::string(model) + " " + std::string(make);
    if ((!make.empty() && same_ignoring_case(caption, make)) ||
        (!model.empty() && same_ignoring_case(caption, model)) ||
        (!make.empty() && !model.empty() &&
         (same_ignoring_case(caption, both) || same_ignoring_case(caption, turned))))
        return true;
    // A camera's file path: "C:\DCIM\100OLYMP\P1010001.JPG", "/DCIM/...".
    const bool drive = caption.size() > 2 && caption[1] == ':' && (caption[2] == '\\' || caption[2] == '/');
    return drive || contains_ignoring_case(caption, "DCIM/") || contains_ignoring_case(caption, "DCIM\\");
}

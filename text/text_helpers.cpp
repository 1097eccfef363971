#include "text/text_helpers.h"

void drop_first_char(std::string& text)
{
    if (!text.empty())
        text.erase(0, 1);
}

void upper_in_place(std::string& text)
{
    // Not toupper(): its answer depends on the locale, and the tag's
    // options must mean the same everywhere.
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
}

void cut_at_char(std::string& text, char c)
{
    std::size_t at = text.find(c);
    if (at != std::string::npos)
        text.resize(at);
}

std::string left_text(std::string_view text, std::size_t count)
{
    return std::string(text.substr(0, count));
}

std::string mid_text(std::string_view text, std::size_t start, std::size_t count)
{
    if (start >= text.size())
        return std::string();
    return std::string(text.substr(start, count));
}

namespace {

constexpr const char* html_entity(char c)
{
    switch (c) {
    case '&': return "&amp;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '\'': return "&#39;";
    case '"': return "&quot;";
    default: return nullptr;
    }
}

// What a byte of a name needs in a URL attribute, looked up once per byte:
// names are short, but a page may hold millions of them.
enum ByteClass : unsigned char { kPlain, kEntity, kPercent, kHigh };

struct ByteClasses {
    ByteClass of[256] = {};
    constexpr ByteClasses()
    {
        for (int c = 0; c < 256; ++c) {
            if (c < 0x20 || c == 0x7F || c == '%' || c == '#' || c == '?' || c == '\\' || c == ':')
                of[c] = kPercent;
            else if (c >= 0x80)
                of[c] = kHigh;
            else if (html_entity(static_cast<char>(c)))
                of[c] = kEntity;
            else
                of[c] = kPlain;
        }
    }
};

constexpr ByteClasses kByteClasses;

}  // namespace

void append_html_escaped(std::string& out, std::string_view text)
{
    // Most names need nothing: copy runs of plain bytes in one go.
    std::size_t plain_from = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (kByteClasses.of[static_cast<unsigned char>(text[i])] != kEntity)
            continue;
        out.append(text.data() + plain_from, i - plain_from);
        out.append(html_entity(text[i]));
        plain_from = i + 1;
    }
    out.append(text.data() + plain_from, text.size() - plain_from);
}

void append_url_escaped(std::string& out, std::string_view name, bool keep_high_bytes)
{
    static const char hex[] = "0123456789ABCDEF";
    std::size_t plain_from = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        ByteClass kind = kByteClasses.of[c];
        if (kind == kPlain || (kind == kHigh && keep_high_bytes))
            continue;
        out.append(name.data() + plain_from, i - plain_from);
        plain_from = i + 1;
        if (kind == kEntity) {
            out.append(html_entity(name[i]));
        } else {
            const char escape[3] = {'%', hex[c >> 4], hex[c & 0x0F]};
            out.append(escape, 3);
        }
    }
    out.append(name.data() + plain_from, name.size() - plain_from);
}

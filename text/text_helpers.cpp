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
        c = upper_ascii(c);
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

// What a byte of a name needs in the page, looked up once per byte: names
// are short, but a page may hold millions of them. kPercent bytes are plain
// in text and escaped in URLs; kHigh bytes belong to multi-byte characters.
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

constexpr char32_t kReplacement = 0xFFFD;

void append_character_reference(std::string& out, char32_t code_point)
{
    // The C1 controls' references are read as windows-1252 characters.
    if (code_point <= 0x9F)
        code_point = kReplacement;
    char digits[8];
    char* end = digits + sizeof digits;
    char* at = end;
    do {
        *--at = static_cast<char>('0' + code_point % 10);
        code_point /= 10;
    } while (code_point > 0);
    out.append("&#").append(at, end).push_back(';');
}

}  // namespace

// Decodes the UTF-8 sequence that starts at text[at] into code_point and
// returns its length. An ill-formed sequence gives kReplacement and the
// length of its maximal subpart: the lead byte and the continuation bytes
// that were still possible, as browsers count them. The ranges for the
// second byte are the well-formed ones, which rule out overlong forms,
// surrogates and code points above U+10FFFF.
std::size_t decode_utf8(std::string_view text, std::size_t at, char32_t& code_point)
{
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    unsigned char low = 0x80, high = 0xBF;
    int continuations;
    if (lead < 0x80) {
        code_point = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        continuations = 1;
        code_point = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        continuations = 2;
        code_point = lead & 0x0F;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        continuations = 3;
        code_point = lead & 0x07;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        code_point = kReplacement;
        return 1;
    }
    std::size_t length = 1;
    for (; continuations > 0; --continuations, ++length, low = 0x80, high = 0xBF) {
        unsigned char c = at + length < text.size() ? static_cast<unsigned char>(text[at + length]) : 0;
        if (c < low || c > high) {
            code_point = kReplacement;
            return length;
        }
        code_point = (code_point << 6) | (c & 0x3F);
    }
    return length;
}

void append_utf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void append_html_escaped(std::string& out, std::string_view text)
{
    // Most names need nothing: copy runs of plain bytes in one go.
    std::size_t plain_from = 0;
    for (std::size_t i = 0; i < text.size();) {
        ByteClass kind = kByteClasses.of[static_cast<unsigned char>(text[i])];
        if (kind != kEntity && kind != kHigh) {
            ++i;
            continue;
        }
        out.append(text.data() + plain_from, i - plain_from);
        if (kind == kEntity) {
            out.append(html_entity(text[i]));
            ++i;
        } else {
            char32_t code_point;
            i += decode_utf8(text, i, code_point);
            append_character_reference(out, code_point);
        }
        plain_from = i;
    }
    out.append(text.data() + plain_from, text.size() - plain_from);
}

void append_url_escaped(std::string& out, std::string_view name, bool in_srcset)
{
    static const char hex[] = "0123456789ABCDEF";
    // A browser strips blanks from the start of a URL, which then names
    // another picture (" beach.jpg" would show "beach.jpg").
    std::size_t start = 0;
    for (; start < name.size() && name[start] == ' '; ++start)
        out.append("%20");
    std::size_t plain_from = start;
    for (std::size_t i = start; i < name.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        ByteClass kind = kByteClasses.of[c];
        if (in_srcset && (c == ' ' || c == ','))
            kind = kPercent;
        if (kind == kPlain)
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

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

static const char* html_entity(char c)
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

void append_html_escaped(std::string& out, std::string_view text)
{
    // Most names need nothing: copy runs of plain bytes in one go.
    std::size_t plain_from = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char* entity = html_entity(text[i]);
        if (!entity)
            continue;
        out.append(text.data() + plain_from, i - plain_from);
        out.append(entity);
        plain_from = i + 1;
    }
    out.append(text.data() + plain_from, text.size() - plain_from);
}

static bool needs_percent(unsigned char c, bool keep_high_bytes)
{
    if (c < 0x20 || c == 0x7F)
        return true;
    if (c >= 0x80)
        return !keep_high_bytes;
    return c == '%' || c == '#' || c == '?' || c == '\\' || c == ':';
}

void append_url_escaped(std::string& out, std::string_view name, bool keep_high_bytes)
{
    static const char hex[] = "0123456789ABCDEF";
    for (char ch : name) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (needs_percent(c, keep_high_bytes)) {
            out.push_back('%');
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 0x0F]);
        } else if (const char* entity = html_entity(ch)) {
            out.append(entity);
        } else {
            out.push_back(ch);
        }
    }
}

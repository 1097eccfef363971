// Small operations on byte strings, and the escapes that put names into the
// page. The operations interpret no encoding: a character is one byte, and
// bytes of 128 and above pass through as they are.
#ifndef KORVEL_TEXT_TEXT_HELPERS_H
#define KORVEL_TEXT_TEXT_HELPERS_H

#include <cstddef>
#include <string>
#include <string_view>

// Removes the first character; an empty text stays empty.
void drop_first_char(std::string& text);

// The byte in upper case: a-z become A-Z; every other byte, including those
// of 128 and above, stays. No locale changes it.
inline char upper_ascii(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Every byte as upper_ascii gives it.
void upper_in_place(std::string& text);

// Ends the text before the first occurrence of c; without one, no change.
void cut_at_char(std::string& text, char c);

// The first count characters, or the whole text when it is shorter.
std::string left_text(std::string_view text, std::size_t count);

// At most count characters from start on; empty when start is at or past
// the end.
std::string mid_text(std::string_view text, std::size_t start, std::size_t count);

// Decodes the UTF-8 sequence that starts at text[at] (at < text.size())
// into code_point and returns its length, at least 1. An ill-formed
// sequence gives U+FFFD and the length of its maximal subpart, as browsers
// count them: overlong forms, surrogates and code points above U+10FFFF
// are ill-formed.
std::size_t decode_utf8(std::string_view text, std::size_t at, char32_t& code_point);

// Appends a code point (at most U+10FFFF, no surrogate) as UTF-8.
void append_utf8(std::string& out, char32_t code_point);

// Appends a name as HTML text in pure ASCII, so that it reads the same
// whatever charset a browser or server assumes for the page. Names are bytes,
// UTF-8 by convention: & < > ' " become entities, each valid multi-byte UTF-8
// sequence becomes a decimal character reference (&#233; for e-acute), and
// each maximal invalid subsequence, as a browser's UTF-8 decoder counts them,
// becomes &#65533;. So do U+0080 to U+009F, whose references browsers read as
// other characters. Other ASCII bytes stay as they are.
void append_html_escaped(std::string& out, std::string_view text);

// Appends a file name as a relative URL inside a quoted attribute. Bytes that
// a URL cannot carry as they are (controls, DEL, and % # ? \ :, which would
// end the path or make the name look like a scheme) and every byte of 128
// and above become %XX with upper-case hex digits, and so do the blanks at
// the start of the name, which a browser would strip; the result is then
// HTML-escaped like text. A browser resolves the URL to the name's bytes.
// In a srcset (in_srcset), where a blank ends the URL and commas part the
// candidates, every blank and comma becomes %XX too.
void append_url_escaped(std::string& out, std::string_view name, bool in_srcset = false);

#endif

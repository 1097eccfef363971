// The texts a picture carries, made fit for the page: valid UTF-8 with no
// controls that could hide or turn the text around it, one line, bounded;
// and what is no caption at all (a camera's own filler).
#ifndef KORVEL_PICTURE_FACTS_CAPTION_TEXT_H
#define KORVEL_PICTURE_FACTS_CAPTION_TEXT_H

#include <cstddef>
#include <string>
#include <string_view>

// The longest caption or title the page shows, in bytes of UTF-8; a
// longer one is cut at a character's boundary and ends in U+2026.
constexpr std::size_t kMostCaptionBytes = 1000;

// The text as the page shows it: bytes that are not UTF-8 become U+FFFD;
// controls (C0, DEL, C1) and line or paragraph separators become blanks;
// the invisible marks that turn the direction of text (U+061C, U+200E,
// U+200F, U+202A to U+202E, U+2066 to U+2069) and zero bytes go; runs of
// blanks are one, none at either end; cut at most bytes.
std::string clean_text(std::string_view bytes, std::size_t most = kMostCaptionBytes);

// Text in windows-1252 (what pictures without a declared set mostly hold
// when they are not UTF-8) as UTF-8.
std::string windows_1252_to_utf8(std::string_view bytes);

// True when bytes are UTF-8 throughout.
bool is_utf8(std::string_view bytes);

// True when a cleaned caption says nothing of the picture: a camera's own
// filler, known by its form whoever made the camera ("GE DIGITAL CAMERA",
// "SONY DSC", "DCF 1.0" ...) or from a list ("Exif_JPEG_PICTURE" ...), the
// camera's make, model or both ("NIKON CORPORATION NIKON D850"), or a
// camera's file path.
bool is_filler_caption(std::string_view caption, std::string_view make, std::string_view model);

#endif

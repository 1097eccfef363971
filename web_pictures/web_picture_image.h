// What korvel makes of one picture's bytes in memory: its thumbnail, its
// web-size view, or both from one decode; the recipes, with no file of
// their own. Calling sequence: make_web_pictures_of (or make_thumbnail),
// from any thread.
#ifndef KORVEL_WEB_PICTURES_WEB_PICTURE_IMAGE_H
#define KORVEL_WEB_PICTURES_WEB_PICTURE_IMAGE_H

#include <cstddef>
#include <string>

// Twice the table's cell, for screens of twice the density.
constexpr unsigned kThumbnailWidth = 120;
constexpr unsigned kThumbnailMostHeight = 480;
// Bounds on what a picture may cost: a hostile header costs neither memory
// nor minutes.
constexpr unsigned long long kPictureMostPixels = 100000000ULL;
constexpr std::size_t kDecodingMostBytes = 64u << 20;
// A colour profile larger than this (a printer's, of megabytes) would
// outweigh a small piece many times over: such a picture makes none.
constexpr std::size_t kProfileMostBytes = 64u << 10;
// A progressive picture keeps all its coefficients while it decodes: about
// three bytes a pixel for a camera's (4:2:0) picture, six for 4:4:4. One at
// a time may take this much, while the others wait: a 100-megapixel 4:2:0
// picture fits, a 4:4:4 one of over 50 megapixels does not.
constexpr std::size_t kProgressiveDecodingMostBytes = 320u << 20;

struct ShownSize {
    unsigned width = 0;
    unsigned height = 0;
};

struct MemoryBudget;

// What to make, each marked with its comment; what decoding and reducing
// takes comes from budget, where there is one (memory_budget.h).
struct WebPictureOrder {
    MemoryBudget* budget = nullptr;
    bool thumbnail = false;
    bool view = false;
    const char* thumbnail_comment = "";
    const char* view_comment = "";
};

// What came of it: each piece asked for and made, with its bytes; shown is
// the picture's own size upright whenever its header can be read.
struct WebPictures {
    ShownSize shown;
    bool thumbnail_made = false;
    std::string thumbnail;
    bool view_made = false;
    std::string view;
};

// Makes what order asks of the JPEG picture in data, from one decode at
// the smallest scale that leaves the largest piece's size, reduced by the
// Lanczos-3 filter (resample.h); the thumbnail, with a view, is reduced
// from the view. Both are upright as the picture's EXIF orientation says
// (with no orientation left), in its colours (its ICC profile), baseline,
// with their comment as their only other marker:
// - the thumbnail kThumbnailWidth wide, as high as the picture's
//   proportions give, at quality 80;
// - the view at the size view_size_of gives (image_entries.h), at quality
//   85; none for a picture that shows itself (no longer than the view's
//   long side and needing no turn).
// A piece fails, with its bytes empty and not made, for a picture that is
// not a JPEG, is damaged or truncated, is of a kind the library cannot
// give as RGB (CMYK), claims more than kPictureMostPixels, carries a
// profile of more than kProfileMostBytes, has more than
// kMostScans scans, or would take more than kDecodingMostBytes to decode
// (kProgressiveDecodingMostBytes for a progressive picture, or a baseline
// one of several scans); the thumbnail
// too for a picture narrower than it or more than four times as high as
// wide. Memory running out throws.
void make_web_pictures_of(const unsigned char* data, std::size_t size, const WebPictureOrder& order,
                          WebPictures& made);

// The thumbnail alone: true when it is made.
bool make_thumbnail(const unsigned char* data, std::size_t size, const std::string& comment,
                    std::string& thumbnail, ShownSize& shown);

#endif

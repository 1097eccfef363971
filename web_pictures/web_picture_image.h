// What korvel makes of one picture's bytes in memory: its thumbnail, its
// web-size view, or both from one decode; the recipes, with no file of
// their own. Calling sequence: make_web_pictures_of (or make_thumbnail),
// from any thread.
#ifndef KORVEL_WEB_PICTURES_WEB_PICTURE_IMAGE_H
#define KORVEL_WEB_PICTURES_WEB_PICTURE_IMAGE_H

#include <cstddef>
#include <string>

#include "pagewriter/web_pieces.h"

// The thumbnails no higher than this, four times their width.
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

// What to make, each kind marked with its comment in marks; what decoding
// and reducing takes comes from budget, where there is one
// (memory_budget.h).
struct WebPictureOrder {
    MemoryBudget* budget = nullptr;
    bool wanted[kKinds] = {};
    const char* const* marks = nullptr;
};

// What came of it: each kind asked for and made, with its bytes; shown is
// the picture's own size upright whenever its header can be read.
struct WebPictures {
    ShownSize shown;
    bool made[kKinds] = {};
    std::string bytes[kKinds];
};

// Makes what order asks of the JPEG picture in data, from one decode at
// the smallest scale that leaves the largest piece's size, reduced by the
// Lanczos-3 filter (resample.h) in steps, each size from the one before:
// the large view, the small view, the large thumbnail, the small one. Each
// is upright as the picture's EXIF orientation says (with no orientation
// left), in its colours (its ICC profile), with its mark as its only other
// metadata (a JPEG's comment, a WebP's chunk of its own):
// - a thumbnail of its kind's width, as high as the picture's proportions
//   give, baseline JPEG at quality 80, WebP at 80;
// - a view at the size view_size_of gives for its kind's long side,
//   baseline JPEG at quality 85, WebP at 88; none for a picture that shows
//   itself (no longer than that side and needing no turn).
// A WebP piece is made only where it pays: smaller than the JPEG of its
// size; a view's WebP that is not, at 88, is made again at 80.
// A piece fails, with its bytes empty and not made, for a picture that is
// not a JPEG, is damaged or truncated, is of a kind the library cannot
// give as RGB (CMYK), claims more than kPictureMostPixels, carries a
// profile of more than kProfileMostBytes, has more than
// kMostScans scans, or would take more than kDecodingMostBytes to decode
// (kProgressiveDecodingMostBytes for a progressive picture, or a baseline
// one of several scans); a thumbnail
// too for a picture narrower than kThumbnailWidth or more than four times
// as high as wide. Memory running out throws.
void make_web_pictures_of(const unsigned char* data, std::size_t size, const WebPictureOrder& order,
                          WebPictures& made);

// The thumbnail alone: true when it is made.
bool make_thumbnail(const unsigned char* data, std::size_t size, const std::string& comment,
                    std::string& thumbnail, ShownSize& shown);

#endif

// One thumbnail, made from a picture's bytes in memory: the recipe, with no
// file of its own. Calling sequence: make_thumbnail, from any thread.
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
// A progressive picture keeps all its coefficients while it decodes: about
// three bytes a pixel for a camera's (4:2:0) picture, six for 4:4:4. One at
// a time may take this much, while the others wait: a 100-megapixel 4:2:0
// picture fits, a 4:4:4 one of over 50 megapixels does not.
constexpr std::size_t kProgressiveDecodingMostBytes = 320u << 20;

// Makes the thumbnail of the JPEG picture in data: kThumbnailWidth wide, as
// high as the picture's proportions give, upright as its EXIF orientation
// says (and with no orientation left), in its colours (its ICC profile),
// baseline at quality 80, with comment as its only other marker. Decoded at
// the smallest scale that still leaves the thumbnail's size, then reduced
// by the Lanczos-3 filter (resample.h). Fails, with thumbnail empty, for a picture that is
// not a JPEG, is damaged or truncated, is of a kind the library cannot give
// as RGB (CMYK), is narrower than the thumbnail or more than four times as
// high as wide, claims more than kPictureMostPixels, has more than
// kMostScans scans, or would take more than kDecodingMostBytes to decode
// (kProgressiveDecodingMostBytes for a progressive picture).
// shown is set to the picture's own size upright whenever its header can
// be read, whether a thumbnail is made or not.
struct ShownSize {
    unsigned width = 0;
    unsigned height = 0;
};
bool make_thumbnail(const unsigned char* data, std::size_t size, const std::string& comment,
                    std::string& thumbnail, ShownSize& shown);

#endif

// The recipe: read the header, choose the scale, decode, reduce (Lanczos-3),
// turn upright, encode. Integer arithmetic throughout, so that every system
// makes the same bytes.
#include "web_pictures/web_picture_image.h"

#include <cstdlib>
#include <mutex>
#include <vector>

#include "web_pictures/jpeg_codec.h"
#include "web_pictures/resample.h"

namespace {

constexpr int kQuality = 80;

// Held while a progressive picture decodes.
std::mutex progressive_turn;

// Orientations 5 to 8 turn the picture a quarter: its width is its height.
bool turns_quarter(int orientation)
{
    return orientation >= 5;
}

// The picture as EXIF's orientation says it is shown.
Pixels turn_upright(const Pixels& from, int orientation)
{
    if (orientation <= 1 || orientation > 8)
        return from;
    Pixels to;
    to.width = turns_quarter(orientation) ? from.height : from.width;
    to.height = turns_quarter(orientation) ? from.width : from.height;
    to.rgb.resize(from.rgb.size());
    for (unsigned y = 0; y < to.height; ++y) {
        for (unsigned x = 0; x < to.width; ++x) {
            // Where the shown pixel (x, y) is stored.
            unsigned sx = x, sy = y;
            const unsigned right = to.width - 1 - x, bottom = to.height - 1 - y;
            switch (orientation) {
            case 2: sx = right; break;  // mirrored
            case 3:
                sx = right;
                sy = bottom;
                break;                   // half round
            case 4: sy = bottom; break;  // mirrored upside down
            case 5:
                sx = y;
                sy = x;
                break;  // mirrored along the diagonal
            case 6:
                sx = y;
                sy = right;
                break;  // a quarter clockwise
            case 7:
                sx = bottom;
                sy = right;
                break;  // mirrored along the other diagonal
            case 8:
                sx = bottom;
                sy = x;
                break;  // a quarter anticlockwise
            }
            const unsigned char* p = &from.rgb[(std::size_t{sy} * from.width + sx) * 3];
            unsigned char* q = &to.rgb[(std::size_t{y} * to.width + x) * 3];
            q[0] = p[0];
            q[1] = p[1];
            q[2] = p[2];
        }
    }
    return to;
}

// The picture's size as it is shown, upright.
ShownSize shown_size_of(const JpegHeader& header)
{
    ShownSize shown;
    shown.width = turns_quarter(header.orientation) ? header.height : header.width;
    shown.height = turns_quarter(header.orientation) ? header.width : header.height;
    return shown;
}

// The thumbnail's size as stored (before it is turned upright); false for
// a picture too narrow or too high to make one.
bool stored_size_of(const JpegHeader& header, unsigned& width, unsigned& height)
{
    const ShownSize shown = shown_size_of(header);
    const unsigned long long shown_width = shown.width, shown_height = shown.height;
    if (shown_width < kThumbnailWidth || shown_height > shown_width * 4)
        return false;
    unsigned long long thumbnail_height = (shown_height * kThumbnailWidth + shown_width / 2) / shown_width;
    thumbnail_height = thumbnail_height < 1 ? 1 : thumbnail_height;
    width = turns_quarter(header.orientation) ? static_cast<unsigned>(thumbnail_height) : kThumbnailWidth;
    height = turns_quarter(header.orientation) ? kThumbnailWidth : static_cast<unsigned>(thumbnail_height);
    return thumbnail_height <= kThumbnailMostHeight;
}

bool make_from_header(const unsigned char* data, std::size_t size, const JpegHeader& header,
                      const std::string& comment, std::string& thumbnail)
{
    unsigned width = 0, height = 0;
    if (!header.rgb_possible || header.width == 0 || header.height == 0 ||
        std::size_t{header.width} * header.height > kPictureMostPixels || !stored_size_of(header, width, height))
        return false;
    // The smallest scale the library decodes to that leaves the thumbnail's
    // size: a camera's picture decodes at 1/8, its pixels an eighth of the
    // way each way.
    unsigned denominator = 8;
    Pixels decoded;
    for (; denominator > 1; denominator /= 2) {
        scaled_size(header, denominator, decoded.width, decoded.height);
        if (decoded.width >= width && decoded.height >= height)
            break;
    }
    scaled_size(header, denominator, decoded.width, decoded.height);
    const std::size_t bytes = std::size_t{decoded.width} * decoded.height * 3;
    if (bytes > kDecodingMostBytes)
        return false;
    decoded.rgb.resize(bytes);
    bool read = false;
    if (header.progressive) {
        // All its coefficients at once: the one progressive picture that
        // may take the larger budget, while the others wait their turn.
        std::lock_guard<std::mutex> turn(progressive_turn);
        read = decode_jpeg(data, size, denominator, kProgressiveDecodingMostBytes, decoded.rgb.data());
    } else {
        read = decode_jpeg(data, size, denominator, kDecodingMostBytes, decoded.rgb.data());
    }
    if (!read)
        return false;
    Pixels shown = turn_upright(resample_lanczos3(decoded, width, height), header.orientation);
    unsigned char* encoded = nullptr;
    unsigned long encoded_size = 0;
    if (!encode_jpeg(shown.rgb.data(), shown.width, shown.height, kQuality, comment.c_str(), header.icc,
                     header.icc_size, &encoded, &encoded_size))
        return false;
    try {
        thumbnail.assign(reinterpret_cast<const char*>(encoded), encoded_size);
    } catch (...) {
        std::free(encoded);
        throw;
    }
    std::free(encoded);
    return true;
}

}  // namespace

bool make_thumbnail(const unsigned char* data, std::size_t size, const std::string& comment,
                    std::string& thumbnail, ShownSize& shown)
{
    thumbnail.clear();
    shown = ShownSize();
    JpegHeader header;
    if (!read_jpeg_header(data, size, header))
        return false;
    shown = shown_size_of(header);
    bool made = false;
    try {
        made = make_from_header(data, size, header, comment, thumbnail);
    } catch (...) {
        std::free(header.icc);
        throw;
    }
    std::free(header.icc);
    if (!made)
        thumbnail.clear();
    return made;
}

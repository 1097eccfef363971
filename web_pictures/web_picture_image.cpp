// The recipes: read the header, choose the scale, decode once, reduce
// (Lanczos-3), turn upright, encode. Integer arithmetic throughout, so that
// every system makes the same bytes.
#include "web_pictures/web_picture_image.h"

#include <cstdlib>
#include <mutex>
#include <utility>
#include <vector>

#include "pagewriter/image_entries.h"
#include "web_pictures/jpeg_codec.h"
#include "web_pictures/memory_budget.h"
#include "web_pictures/resample.h"
#include "web_pictures/upright.h"

namespace {

constexpr int kThumbnailQuality = 80;
constexpr int kViewQuality = 85;

// Held while a progressive picture decodes.
std::mutex progressive_turn;

// A size as the picture's orientation turns it, stored to shown or shown
// to stored: a quarter turn swaps width and height either way.
void turned_size(const JpegHeader& header, unsigned width, unsigned height, unsigned& turned_width,
                 unsigned& turned_height)
{
    turned_width = turns_quarter(header.orientation) ? height : width;
    turned_height = turns_quarter(header.orientation) ? width : height;
}

// The picture's size as it is shown, upright.
ShownSize shown_size_of(const JpegHeader& header)
{
    ShownSize shown;
    turned_size(header, header.width, header.height, shown.width, shown.height);
    return shown;
}

// The thumbnail's size as stored; false for a picture too narrow or too
// high to make one.
bool thumbnail_size_of(const JpegHeader& header, unsigned& width, unsigned& height)
{
    const ShownSize shown = shown_size_of(header);
    const unsigned long long shown_width = shown.width, shown_height = shown.height;
    if (shown_width < kThumbnailWidth || shown_height > shown_width * 4)
        return false;
    unsigned long long thumbnail_height = (shown_height * kThumbnailWidth + shown_width / 2) / shown_width;
    thumbnail_height = thumbnail_height < 1 ? 1 : thumbnail_height;
    turned_size(header, kThumbnailWidth, static_cast<unsigned>(thumbnail_height), width, height);
    return thumbnail_height <= kThumbnailMostHeight;
}

// The view's size as stored; false for a picture that shows itself.
bool stored_view_size_of(const JpegHeader& header, unsigned& width, unsigned& height)
{
    const ShownSize shown = shown_size_of(header);
    unsigned view_width = 0, view_height = 0;
    ::view_size_of(shown.width, shown.height, view_width, view_height);
    if (view_width == shown.width && view_height == shown.height && header.orientation == 1)
        return false;
    turned_size(header, view_width, view_height, width, height);
    return true;
}

// Decodes at the smallest scale the library offers that still leaves width
// by height: a camera's picture decodes at 1/8 for a thumbnail, at 1/2 for
// a view.
unsigned scale_for(const JpegHeader& header, unsigned width, unsigned height)
{
    unsigned denominator = 8;
    for (; denominator > 1; denominator /= 2) {
        unsigned scaled_width = 0, scaled_height = 0;
        scaled_size(header, denominator, scaled_width, scaled_height);
        if (scaled_width >= width && scaled_height >= height)
            break;
    }
    return denominator;
}

// What making the pieces holds at most besides the picture's bytes: the
// decoded pixels, and for a view, beside them, the reduction's first pass
// (the rest comes once the decoded pixels are freed, and takes less).
std::size_t working_bytes(const JpegHeader& header, unsigned width, unsigned height, bool view)
{
    unsigned decoded_width = 0, decoded_height = 0;
    scaled_size(header, scale_for(header, width, height), decoded_width, decoded_height);
    const std::size_t decoded = std::size_t{decoded_width} * decoded_height * 3;
    const std::size_t first_pass = std::size_t{decoded_width} * height * 3;
    return decoded + (view ? first_pass : 0) + (1u << 20);
}

// Holds memory of the run's budget while it lives (none without a budget).
struct TakenMemory {
    MemoryBudget* budget;
    std::size_t bytes;
    TakenMemory(MemoryBudget* budget, std::size_t bytes) : budget(budget), bytes(bytes)
    {
        if (budget)
            take_memory(*budget, bytes, true);
    }
    ~TakenMemory()
    {
        if (budget)
            give_back_memory(*budget, bytes, true);
    }
    TakenMemory(const TakenMemory&) = delete;
    TakenMemory& operator=(const TakenMemory&) = delete;
};

bool decode_for(const unsigned char* data, std::size_t size, const JpegHeader& header, unsigned width,
                unsigned height, Pixels& decoded)
{
    const unsigned denominator = scale_for(header, width, height);
    scaled_size(header, denominator, decoded.width, decoded.height);
    const std::size_t bytes = std::size_t{decoded.width} * decoded.height * 3;
    if (bytes > kDecodingMostBytes)
        return false;
    decoded.rgb.resize(bytes);
    if (header.progressive) {
        // All its coefficients at once: the one progressive picture that
        // may take the larger budget, while the others wait their turn.
        std::lock_guard<std::mutex> turn(progressive_turn);
        return decode_jpeg(data, size, denominator, kProgressiveDecodingMostBytes, decoded.rgb.data());
    }
    return decode_jpeg(data, size, denominator, kDecodingMostBytes, decoded.rgb.data());
}

// Turns the pixels upright and encodes them into out.
bool encode_shown(const Pixels& pixels, const JpegHeader& header, int quality, const char* comment,
                  std::string& out)
{
    Pixels turned;
    if (header.orientation != 1)
        turned = turn_upright(pixels, header.orientation);
    const Pixels& shown = header.orientation != 1 ? turned : pixels;
    unsigned char* encoded = nullptr;
    unsigned long encoded_size = 0;
    if (!encode_jpeg(shown.rgb.data(), shown.width, shown.height, quality, comment, header.icc, header.icc_size,
                     &encoded, &encoded_size))
        return false;
    try {
        out.assign(reinterpret_cast<const char*>(encoded), encoded_size);
    } catch (...) {
        std::free(encoded);
        throw;
    }
    std::free(encoded);
    return true;
}

void make_from_header(const unsigned char* data, std::size_t size, const JpegHeader& header,
                      const WebPictureOrder& order, WebPictures& made)
{
    if (!header.rgb_possible || header.width == 0 || header.height == 0 ||
        std::size_t{header.width} * header.height > kPictureMostPixels || header.icc_size > kProfileMostBytes)
        return;
    unsigned thumbnail_width = 0, thumbnail_height = 0, view_width = 0, view_height = 0;
    const bool thumbnail = order.thumbnail && thumbnail_size_of(header, thumbnail_width, thumbnail_height);
    const bool view = order.view && stored_view_size_of(header, view_width, view_height);
    if (!view && !thumbnail)
        return;
    const TakenMemory taken(order.budget, view ? working_bytes(header, view_width, view_height, true)
                                               : working_bytes(header, thumbnail_width, thumbnail_height, false));
    Pixels decoded;
    if (view) {
        if (!decode_for(data, size, header, view_width, view_height, decoded))
            return;
        // The view, and the thumbnail from it: one decode for both.
        Pixels stored_view = std::move(decoded);
        if (stored_view.width != view_width || stored_view.height != view_height)
            resample_lanczos3_in_place(stored_view, view_width, view_height);
        made.view_made = encode_shown(stored_view, header, kViewQuality, order.view_comment, made.view);
        if (thumbnail)
            made.thumbnail_made = encode_shown(resample_lanczos3(stored_view, thumbnail_width, thumbnail_height),
                                               header, kThumbnailQuality, order.thumbnail_comment, made.thumbnail);
    } else if (thumbnail) {
        if (!decode_for(data, size, header, thumbnail_width, thumbnail_height, decoded))
            return;
        made.thumbnail_made = encode_shown(resample_lanczos3(decoded, thumbnail_width, thumbnail_height), header,
                                           kThumbnailQuality, order.thumbnail_comment, made.thumbnail);
    }
}

}  // namespace

void make_web_pictures_of(const unsigned char* data, std::size_t size, const WebPictureOrder& order,
                          WebPictures& made)
{
    made = WebPictures();
    JpegHeader header;
    if (!read_jpeg_header(data, size, header))
        return;
    made.shown = shown_size_of(header);
    try {
        make_from_header(data, size, header, order, made);
    } catch (...) {
        std::free(header.icc);
        throw;
    }
    std::free(header.icc);
    if (!made.thumbnail_made)
        made.thumbnail.clear();
    if (!made.view_made)
        made.view.clear();
}

bool make_thumbnail(const unsigned char* data, std::size_t size, const std::string& comment,
                    std::string& thumbnail, ShownSize& shown)
{
    WebPictureOrder order;
    order.thumbnail = true;
    order.thumbnail_comment = comment.c_str();
    WebPictures made;
    make_web_pictures_of(data, size, order, made);
    shown = made.shown;
    thumbnail.swap(made.thumbnail);
    return made.thumbnail_made;
}

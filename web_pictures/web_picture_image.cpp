// The recipes: read the header, choose the scale, decode once, reduce
// (Lanczos-3), turn upright, encode. Integer arithmetic throughout, so that
// every system makes the same bytes.
#include "web_pictures/web_picture_image.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <utility>
#include <vector>

#include "web_pictures/jpeg_codec.h"
#include "web_pictures/memory_budget.h"
#include "web_pictures/resample.h"
#include "web_pictures/upright.h"
#include "web_pictures/webp_codec.h"

namespace {

constexpr int kThumbnailQuality = 80;
constexpr int kViewQuality = 85;
// WebP's qualities: as close to the picture as the JPEG's, in under
// three quarters of its bytes (bench/README.md).
constexpr int kWebpThumbnailQuality = 80;
constexpr int kWebpViewQuality = 88;
// The sizes, largest first: each is reduced from the one before.
constexpr std::size_t kSteps[] = {kViews, kSmallViews, kThumbnails, kSmallThumbnails};

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

// The size of the piece of the (JPEG) kind as stored; false for a picture
// too narrow or too high to make a thumbnail, or one that shows itself.
bool stored_size_of(const JpegHeader& header, std::size_t kind, unsigned& width, unsigned& height)
{
    const ShownSize shown = shown_size_of(header);
    const unsigned long long shown_width = shown.width, shown_height = shown.height;
    const PieceKind& piece = kPieceKinds[kind];
    if (piece.view) {
        unsigned view_width = 0, view_height = 0;
        ::view_size_of(shown.width, shown.height, piece.size, view_width, view_height);
        if (view_width == shown.width && view_height == shown.height && header.orientation == 1)
            return false;
        turned_size(header, view_width, view_height, width, height);
        return true;
    }
    if (shown_width < kThumbnailWidth || shown_height > shown_width * 4)
        return false;
    unsigned long long thumbnail_height = (shown_height * piece.size + shown_width / 2) / shown_width;
    thumbnail_height = thumbnail_height < 1 ? 1 : thumbnail_height;
    turned_size(header, piece.size, static_cast<unsigned>(thumbnail_height), width, height);
    return thumbnail_height <= kThumbnailMostHeight;
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
// decoded pixels with the reduction's first pass beside them; then, once
// the decoded pixels are freed, the first size, its copy turned upright
// and the WebP encoder's working copy of it (its YUV planes and the
// encoder's own, under four bytes a pixel). Every later size takes less.
std::size_t working_bytes(const JpegHeader& header, unsigned width, unsigned height, bool webp)
{
    unsigned decoded_width = 0, decoded_height = 0;
    scaled_size(header, scale_for(header, width, height), decoded_width, decoded_height);
    const std::size_t decoded = std::size_t{decoded_width} * decoded_height * 3;
    const std::size_t first_pass = std::size_t{decoded_width} * height * 3;
    const std::size_t first = std::size_t{width} * height;
    const std::size_t encoding = first * 3 * (header.orientation != 1 ? 2 : 1) + (webp ? first * 4 : 0);
    return std::max(decoded + first_pass, encoding) + (1u << 20);
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

bool encode_as_jpeg(const Pixels& shown, const JpegHeader& header, int quality, const char* mark, std::string& out)
{
    unsigned char* encoded = nullptr;
    unsigned long encoded_size = 0;
    if (!encode_jpeg(shown.rgb.data(), shown.width, shown.height, quality, mark, header.icc, header.icc_size,
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

// Turns the pixels of one size upright and encodes the kinds of it that
// are wanted: the JPEG always, for the WebP to be weighed against.
void encode_size(const Pixels& pixels, const JpegHeader& header, std::size_t kind, const WebPictureOrder& order,
                 WebPictures& made)
{
    Pixels turned;
    if (header.orientation != 1)
        turned = turn_upright(pixels, header.orientation);
    const Pixels& shown = header.orientation != 1 ? turned : pixels;
    const bool view = kPieceKinds[kind].view;
    const int quality = view ? kViewQuality : kThumbnailQuality;
    std::string jpeg;
    const bool jpeg_made = encode_as_jpeg(shown, header, quality, order.marks[kind], jpeg);
    // A picture of fine texture (leaves, gravel) makes a larger WebP than
    // JPEG at the view's quality: it gets one at the thumbnails', which a
    // phone's browser still reads in fewer bytes than the JPEG.
    const std::size_t webp = webp_kind_of(kind);
    auto webp_pays = [&](int webp_quality) {
        return encode_webp(shown.rgb.data(), shown.width, shown.height, webp_quality, order.marks[webp],
                           header.icc, header.icc_size, made.bytes[webp]) &&
               made.bytes[webp].size() < jpeg.size();
    };
    if (jpeg_made && order.wanted[webp])
        made.made[webp] = view ? webp_pays(kWebpViewQuality) || webp_pays(kWebpThumbnailQuality)
                               : webp_pays(kWebpThumbnailQuality);
    if (order.wanted[kind] && jpeg_made) {
        made.made[kind] = true;
        made.bytes[kind].swap(jpeg);
    }
}

void make_from_header(const unsigned char* data, std::size_t size, const JpegHeader& header,
                      const WebPictureOrder& order, WebPictures& made)
{
    if (!header.rgb_possible || header.width == 0 || header.height == 0 ||
        std::size_t{header.width} * header.height > kPictureMostPixels || header.icc_size > kProfileMostBytes)
        return;
    unsigned widths[kKinds] = {}, heights[kKinds] = {};
    bool needed[kKinds] = {};
    std::size_t first = kKinds;
    bool webp = false;
    for (std::size_t kind : kSteps) {
        needed[kind] = (order.wanted[kind] || order.wanted[webp_kind_of(kind)]) &&
                       stored_size_of(header, kind, widths[kind], heights[kind]);
        first = needed[kind] && first == kKinds ? kind : first;
        webp = webp || (needed[kind] && order.wanted[webp_kind_of(kind)]);
    }
    if (first == kKinds)
        return;
    const TakenMemory taken(order.budget, working_bytes(header, widths[first], heights[first], webp));
    Pixels current;
    if (!decode_for(data, size, header, widths[first], heights[first], current))
        return;
    // One decode, reduced a size at a time, each from the one before.
    for (std::size_t kind : kSteps) {
        if (!needed[kind])
            continue;
        if (current.width != widths[kind] || current.height != heights[kind])
            resample_lanczos3_in_place(current, widths[kind], heights[kind]);
        encode_size(current, header, kind, order, made);
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
    for (std::size_t kind = 0; kind < kKinds; ++kind)
        if (!made.made[kind])
            made.bytes[kind].clear();
}

bool make_thumbnail(const unsigned char* data, std::size_t size, const std::string& comment,
                    std::string& thumbnail, ShownSize& shown)
{
    WebPictureOrder order;
    order.wanted[kThumbnails] = true;
    const char* marks[kKinds] = {};
    marks[kThumbnails] = comment.c_str();
    order.marks = marks;
    WebPictures made;
    make_web_pictures_of(data, size, order, made);
    shown = made.shown;
    thumbnail.swap(made.bytes[kThumbnails]);
    return made.made[kThumbnails];
}

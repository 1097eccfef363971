// The pieces korvel makes of a picture for a page on the web (THUMBS and
// VIEWS), as the page names them: each kind in a folder of its own beside
// the page, under the picture's own name (and ".webp" after it for a
// WebP piece), so that one picture's pieces never meet another's.
#ifndef KORVEL_PAGEWRITER_WEB_PIECES_H
#define KORVEL_PAGEWRITER_WEB_PIECES_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "pagewriter/image_listing.h"
#include "pagewriter/page_sink.h"

// The kinds, by their index into kPieceKinds and their bit in
// ImageFile::pieces.
constexpr std::size_t kThumbnails = 0;       // the table's, for screens of twice the density
constexpr std::size_t kViews = 1;            // the sections'
constexpr std::size_t kSmallThumbnails = 2;  // the table's, for screens of plain density
constexpr std::size_t kSmallViews = 3;       // the sections', for phones and plain screens
constexpr std::size_t kThumbnailsWebp = 4;   // the same four again, as WebP
constexpr std::size_t kViewsWebp = 5;
constexpr std::size_t kSmallThumbnailsWebp = 6;
constexpr std::size_t kSmallViewsWebp = 7;
constexpr std::size_t kKinds = 8;

struct PieceKind {
    const char* folder;  // beside the page
    bool view;           // a view, sized by its long side; else a thumbnail, by its width
    unsigned size;       // that long side, or that width
    bool webp;           // WebP; else JPEG
};

constexpr unsigned kThumbnailWidth = 120;
constexpr unsigned kSmallThumbnailWidth = 60;
constexpr unsigned kViewLongSide = 1600;
constexpr unsigned kSmallViewLongSide = 800;

constexpr PieceKind kPieceKinds[kKinds] = {
    {"korvel-thumbs", false, kThumbnailWidth, false},
    {"korvel-views", true, kViewLongSide, false},
    {"korvel-thumbs-60", false, kSmallThumbnailWidth, false},
    {"korvel-views-800", true, kSmallViewLongSide, false},
    {"korvel-thumbs-webp", false, kThumbnailWidth, true},
    {"korvel-views-webp", true, kViewLongSide, true},
    {"korvel-thumbs-60-webp", false, kSmallThumbnailWidth, true},
    {"korvel-views-800-webp", true, kSmallViewLongSide, true},
};

// The JPEG kind a WebP kind stands beside, and the WebP kind of a JPEG one.
constexpr std::size_t jpeg_kind_of(std::size_t kind)
{
    return kind >= kThumbnailsWebp ? kind - kThumbnailsWebp : kind;
}
constexpr std::size_t webp_kind_of(std::size_t kind)
{
    return jpeg_kind_of(kind) + kThumbnailsWebp;
}

inline bool has_piece(const ImageFile& image, std::size_t kind)
{
    return (image.pieces >> kind & 1u) != 0;
}

inline void set_piece(ImageFile& image, std::size_t kind, bool in_place)
{
    const unsigned bit = 1u << kind;
    image.pieces = static_cast<std::uint8_t>(in_place ? image.pieces | bit : image.pieces & ~bit);
}

// The name of a picture's piece of the kind, in its folder.
inline std::string piece_name(std::size_t kind, std::string_view picture)
{
    std::string name(picture);
    if (kPieceKinds[kind].webp)
        name += ".webp";
    return name;
}

// Writes the URL of a picture's piece of the kind, as an img src or
// srcset takes it: its folder, then its name as a URL; or, for kind
// kKinds, the picture itself; escaped as a srcset needs it when in_srcset;
// down the folders above (from the page to the picture's; null: none).
void put_piece_url(PageSink& page, const ImageFile& image, std::size_t kind, bool in_srcset = false,
                   const std::vector<std::string>* above = nullptr);

// The size of a picture's view with the long side given, for a picture
// shown width by height: its long side long_side, its short side in
// proportion (at least 1), or the picture's own size when it is no longer
// than that.
void view_size_of(unsigned width, unsigned height, unsigned long_side, unsigned& view_width,
                  unsigned& view_height);

#endif

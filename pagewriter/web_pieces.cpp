#include "pagewriter/web_pieces.h"

#include <cstdint>

void put_piece_url(PageSink& page, const ImageFile& image, std::size_t kind, bool in_srcset,
                   const std::vector<std::string>* above)
{
    if (above)
        for (const std::string& folder : *above) {
            put_url(page, folder, in_srcset);
            put_text(page, "/");
        }
    if (kind < kKinds) {
        put_text(page, kPieceKinds[kind].folder);
        put_text(page, "/");
    }
    put_url(page, image.name, in_srcset);
    if (kind < kKinds && kPieceKinds[kind].webp)
        put_text(page, ".webp");
}

void view_size_of(unsigned width, unsigned height, unsigned long_side, unsigned& view_width, unsigned& view_height)
{
    view_width = width;
    view_height = height;
    const std::uint64_t longer = width > height ? width : height;
    if (longer <= long_side)
        return;
    const std::uint64_t shorter = width > height ? height : width;
    std::uint64_t scaled = (shorter * long_side + longer / 2) / longer;
    scaled = scaled < 1 ? 1 : scaled;
    view_width = width > height ? long_side : static_cast<unsigned>(scaled);
    view_height = width > height ? static_cast<unsigned>(scaled) : long_side;
}

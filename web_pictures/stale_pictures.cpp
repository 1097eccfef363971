// A file is korvel's to remove when it is korvel's by its mark, the
// running user's own, and no current piece: read only as far as its
// comment, and only when something in the folder may be stale.
#include "web_pictures/stale_pictures.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "web_pictures/web_picture_record.h"
#include "web_pictures/webp_codec.h"

namespace {

// No WebP piece korvel makes comes near this: a 1600-pixel view and a
// profile of kProfileMostBytes.
constexpr std::size_t kWebpPieceMostBytes = 16u << 20;

// True when a file starts as korvel's thumbnails and views do: a JPEG
// whose comment, among its first markers, is the mark.
bool carries_mark(const std::string& start, std::string_view mark)
{
    if (start.size() < 4 || static_cast<unsigned char>(start[0]) != 0xFF ||
        static_cast<unsigned char>(start[1]) != 0xD8)
        return false;
    for (std::size_t at = 2; at + 4 <= start.size();) {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(start.data()) + at;
        if (p[0] != 0xFF || p[1] == 0xDA)
            return false;
        const std::size_t length = std::size_t{p[2]} << 8 | p[3];
        if (p[1] == 0xFE)
            return length >= 2 + mark.size() && start.compare(at + 4, mark.size(), mark) == 0;
        at += 2 + length;
    }
    return false;
}

// A name as a file system that ignores case might take it: ASCII letters
// in one case, and each byte beyond ASCII alike, so that names that may
// differ only in the case of other letters meet too (their bytes then
// differ, their number mostly not).
std::string folded(std::string_view name)
{
    std::string fold(name);
    for (char& c : fold)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        else if (static_cast<unsigned char>(c) >= 0x80)
            c = '\x80';
    return fold;
}

// True when the file system takes name for the name of a piece in place
// (it ignores case, and the picture was renamed only in case): that file
// is current, whatever name the folder lists it under.
bool names_a_piece_in_place(const WebPictureFolder& folder, std::string_view name,
                            const std::unordered_multimap<std::string, std::string_view>& folded_in_place)
{
    const auto [from, to] = folded_in_place.equal_range(folded(name));
    for (auto at = from; at != to; ++at)
        if (same_web_picture(folder, name, at->second))
            return true;
    return false;
}

}  // namespace

bool is_marked_piece(const WebPictureFolder& folder, std::string_view name, const char* mark)
{
    std::string start;
    std::int64_t ignored_time = 0;
    // A WebP piece's mark ends it: the whole file is read, as far as the
    // largest view and profile go.
    if (name.size() >= 5 && name.substr(name.size() - 5) == ".webp")
        return read_web_picture_whole(folder, name, kWebpPieceMostBytes, start, ignored_time) &&
               webp_carries_mark(start, mark);
    return read_web_picture_start(folder, name, 512, start) && carries_mark(start, mark);
}

void remove_stale_pictures(WebPictureFolder& folder, const std::vector<std::string_view>& names,
                           std::size_t current, const ImageList& images, std::size_t kind, const char* mark)
{
    // Every name is the record or a current piece, each of which was
    // seen among them: nothing is stale.
    const bool with_record = std::binary_search(names.begin(), names.end(), std::string_view(kRecordName));
    if (names.size() == current + (with_record ? 1 : 0))
        return;
    remove_abandoned_web_pictures(folder, names);
    std::vector<std::string> piece_names;
    std::unordered_set<std::string_view> in_place;
    std::unordered_multimap<std::string, std::string_view> folded_in_place;
    for (const ImageFile& image : images.files)
        if (has_piece(image, kind)) {
            piece_names.push_back(piece_name(kind, image.name));
        }
    for (const std::string& name : piece_names) {
        in_place.insert(name);
        folded_in_place.emplace(folded(name), name);
    }
    for (std::string_view name : names)
        if (name != kRecordName && in_place.count(name) == 0 &&
            !names_a_piece_in_place(folder, name, folded_in_place) && is_marked_piece(folder, name, mark))
            remove_web_picture(folder, name);
}

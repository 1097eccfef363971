#include "pagewriter/image_listing.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "text/text_helpers.h"

namespace {

// Letters compared as upper case, every byte by its unsigned value.
unsigned char folded(char c)
{
    return static_cast<unsigned char>(upper_ascii(c));
}

// A name for sorting: 8 of its bytes, folded, after the bytes that all the
// names share, as two numbers that compare as those bytes do. Bytes past
// the end count as 0, which no name holds, so a name comes before the
// longer names it begins. Most names differ within them, and the sort then
// never touches the names, which lie all over memory. Twelve bytes a key:
// a million pictures' keys, and the merge of the two halves sorted at
// once, are most of what a plain run holds beside its listing.
struct SortKey {
    std::uint32_t high = 0;
    std::uint32_t low = 0;
    std::uint32_t index = 0;  // of the picture in the list
};

SortKey key_of(std::string_view name, std::size_t shared, std::size_t index)
{
    SortKey key;
    key.index = static_cast<std::uint32_t>(index);
    for (std::size_t i = 0; i < 8; ++i) {
        std::uint32_t byte = shared + i < name.size() ? folded(name[shared + i]) : 0;
        if (i < 4)
            key.high |= byte << (8 * (3 - i));
        else
            key.low |= byte << (8 * (7 - i));
    }
    return key;
}

}  // namespace

int compare_names(std::string_view a, std::string_view b)
{
    std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i)
        if (folded(a[i]) != folded(b[i]))
            return folded(a[i]) < folded(b[i]) ? -1 : 1;
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    // Equal but for letter case, as "a.jpg" and "A.jpg" may be: by their own
    // bytes, so that the order is one and the same on every run.
    int raw = std::memcmp(a.data(), b.data(), common);
    return raw < 0 ? -1 : raw > 0 ? 1 : 0;
}

bool is_picture_name(std::string_view name)
{
    if (name.size() < 4)
        return false;
    std::string_view ext = name.substr(name.size() - 4);
    return ext[0] == '.' && (ext[1] == 'j' || ext[1] == 'J') && (ext[2] == 'p' || ext[2] == 'P') &&
           (ext[3] == 'g' || ext[3] == 'G');
}

void add_image(ImageList& list, std::string_view name, std::uint64_t size, std::int64_t modified)
{
    add_listed_file(list, name, size, modified);
}

namespace {

// Below this many keys one thread sorts them: starting another would cost
// more than it saves.
constexpr std::size_t kSortTogetherFrom = 1 << 16;

// Sorts keys, a large set in two halves at once, one on a thread of its own,
// then merged: the lookups have not started yet, and the other processor
// would stand idle.
template <typename Before>
void sort_in_two_halves(std::vector<SortKey>& keys, Before before)
{
    auto middle = keys.begin() + static_cast<std::ptrdiff_t>(keys.size() / 2);
    std::thread helper;
    if (keys.size() >= kSortTogetherFrom) {
        try {
            helper = std::thread([&] { std::sort(keys.begin(), middle, before); });
        } catch (...) {
            // No thread: one does it all.
        }
    }
    if (!helper.joinable()) {
        std::sort(keys.begin(), keys.end(), before);
        return;
    }
    std::sort(middle, keys.end(), before);
    helper.join();
    std::inplace_merge(keys.begin(), middle, keys.end(), before);
}

// Puts the pictures in name order, keeping each one's size and time.
void sort_images(ImageList& list)
{
    std::vector<ImageFile>& files = list.files;
    std::size_t bytes = 0;
    for (const ImageFile& file : files)
        bytes += file.name.size() + 1;
    if (files.size() >= UINT32_MAX) {
        // Beyond what the keys can number: slower, the same order.
        std::stable_sort(files.begin(), files.end(),
                         [](const ImageFile& a, const ImageFile& b) { return compare_names(a.name, b.name) < 0; });
        return;
    }
    // The bytes that every name begins with decide nothing.
    std::size_t shared = files.empty() ? 0 : files[0].name.size();
    for (const ImageFile& file : files) {
        std::size_t same = 0;
        while (same < shared && same < file.name.size() && folded(file.name[same]) == folded(files[0].name[same]))
            ++same;
        shared = same;
    }
    std::vector<SortKey> keys;
    keys.reserve(files.size());
    for (std::size_t i = 0; i < files.size(); ++i)
        keys.push_back(key_of(files[i].name, shared, i));
    auto before = [&files](const SortKey& a, const SortKey& b) {
        if (a.high != b.high)
            return a.high < b.high;
        if (a.low != b.low)
            return a.low < b.low;
        return compare_names(files[a.index].name, files[b.index].name) < 0;
    };
    sort_in_two_halves(keys, before);
    // Picture i is now the one at keys[i].index: move them round each cycle
    // of that permutation, marking each place done, with no second list.
    constexpr std::uint32_t kDone = UINT32_MAX;
    for (std::size_t start = 0; start < keys.size(); ++start) {
        if (keys[start].index == kDone)
            continue;
        ImageFile first = files[start];
        std::size_t at = start;
        for (;;) {
            std::size_t from = keys[at].index;
            keys[at].index = kDone;
            if (from == start) {
                files[at] = first;
                break;
            }
            files[at] = files[from];
            at = from;
        }
    }
    std::vector<SortKey>().swap(keys);
    // The names move into one block in their new order, so that the lookups
    // and the writers, which walk them in that order, read memory in a row.
    std::unique_ptr<char[]> names(new char[bytes > 0 ? bytes : 1]);
    char* to = names.get();
    for (ImageFile& file : files) {
        std::memcpy(to, file.name.data(), file.name.size());
        to[file.name.size()] = '\0';
        file.name = std::string_view(to, file.name.size());
        to += file.name.size() + 1;
    }
    list.name_blocks.clear();
    list.name_blocks.push_back(std::move(names));
    list.block_size = list.block_used = bytes;
}

}  // namespace

bool list_images(const WorkFolder& at, ImageList& list)
{
    // Only the pictures are sorted and looked up: a folder may hold much else.
    std::size_t kept = 0;
    for (const ImageFile& file : list.files)
        if (is_picture_name(file.name))
            list.files[kept++] = file;
    list.files.resize(kept);
    sort_images(list);
    return look_up_files(at, list);
}

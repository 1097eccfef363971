// The record of what thumbnails and views were made from: when it may be
// trusted without reading a picture, and that a damaged one never is.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "pagewriter/image_listing.h"
#include "web_pictures/web_picture_record.h"

namespace {

constexpr std::int64_t kRecordWritten = 1704190830;

ImageFile picture(std::int64_t modified)
{
    ImageList images;
    add_image(images, "a.jpg", 5000, modified);
    ImageFile image = images.files[0];
    image.modified_nanoseconds = 250000000;
    image.stamp = 77;
    return image;
}

}  // namespace

// A picture is trusted by its entry only when its size, time and stamp
// match and it was not written within a tick of the record (git's racy
// rule); a picture dated years ahead, which no waiting makes older, is
// trusted as an old one is.
TEST(Record, WhenAPictureIsTrustedWithoutReadingIt)
{
    struct Case {
        const char* what;
        std::int64_t modified;
        void (*change)(ImageFile&);
        Standing standing;
    };
    const Case cases[] = {
        {"older than the record", kRecordWritten - 3600, nullptr, Standing::unchanged},
        {"written in the record's second", kRecordWritten, nullptr, Standing::maybe},
        {"a second before it", kRecordWritten - 1, nullptr, Standing::maybe},
        {"a second after it", kRecordWritten + 1, nullptr, Standing::maybe},
        {"dated five years ahead", kRecordWritten + 5 * 365 * 86400, nullptr, Standing::unchanged},
        {"another size", kRecordWritten - 3600, [](ImageFile& f) { f.size += 1; }, Standing::changed},
        {"another time", kRecordWritten - 3600, [](ImageFile& f) { f.modified_nanoseconds += 1; }, Standing::maybe},
        {"another stamp", kRecordWritten - 3600, [](ImageFile& f) { f.stamp += 1; }, Standing::maybe},
    };
    for (const Case& c : cases) {
        ImageFile image = picture(c.modified);
        const RecordEntry entry = entry_for(image, 1234, 5678);
        if (c.change)
            c.change(image);
        EXPECT_EQ(standing_of(entry, image, kRecordWritten), c.standing) << c.what;
    }
}

// Any one bit flipped, anywhere in a record, makes it an empty one, which
// only costs making its pieces again: never a piece deleted for good, nor
// a view drawn at a wrong size.
TEST(Record, ADamagedRecordIsAnEmptyOne)
{
    ImageList images;
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        add_image(images, name, 70000, kRecordWritten - 3600);
    const std::string facts[] = {"", "Harbour at dusk", std::string(300, 'w')};
    // A thumbnails' record, and a facts record, whose entries carry bytes.
    for (bool with_extra : {false, true}) {
        std::vector<RecordEntry> entries;
        for (const ImageFile& image : images.files) {
            entries.push_back(entry_for(image, content_hash(std::string(image.name)), 99));
            entries.back().made = true;
            entries.back().width = 1600, entries.back().height = 1200;
            entries.back().extra = with_extra ? facts[entries.size() - 1] : std::string_view();
        }
        const std::string bytes = record_bytes(entries, with_extra);
        std::vector<RecordEntry> read;
        ASSERT_TRUE(read_record(bytes, read, with_extra));
        ASSERT_EQ(read.size(), 3u);
        EXPECT_EQ(read[2].width, 1600u);
        EXPECT_EQ(read[2].extra, entries[2].extra);
        EXPECT_EQ(read[1].extra, entries[1].extra);
        EXPECT_FALSE(read_record(bytes, read, !with_extra));  // one form is never read as the other
        for (std::size_t bit = 0; bit < bytes.size() * 8; ++bit) {
            std::string damaged = bytes;
            damaged[bit / 8] = static_cast<char>(damaged[bit / 8] ^ (1 << (bit % 8)));
            EXPECT_FALSE(read_record(damaged, read, with_extra)) << bit;
            EXPECT_TRUE(read.empty()) << bit;
        }
        EXPECT_FALSE(read_record(bytes.substr(0, bytes.size() - 1), read, with_extra));
    }
    // Pictures that differ are told apart by their content's hash.
    EXPECT_NE(content_hash(std::string(65536, 'a')), content_hash(std::string(65535, 'a') + 'b'));
}

// Pictures' texts made fit for the page, and where a picture's metadata
// ends: the cases a camera's or a stranger's bytes bring.
#include <gtest/gtest.h>

#include <string>

#include "pagewriter/image_entries.h"
#include "pagewriter/thumbnail_table.h"
#include "picture_facts/caption_text.h"
#include "picture_facts/iptc_digest.h"
#include "picture_facts/metadata_reader.h"
#include "picture_facts/picture_facts.h"
#include "picture_facts/picture_order.h"
#include "support/test_support.h"

using namespace std::string_literals;

TEST(PictureFacts, TextMadeFitForThePage)
{
    struct Case {
        const char* what;
        std::string bytes;
        std::size_t most;
        std::string shown;
    };
    const Case cases[] = {
        {"plain", "Harbour at dusk", 1000, "Harbour at dusk"},
        {"blanks and controls", "  a\tb\r\n\x1b[31mc  \x7F", 1000, "a b [31mc"},
        {"C1 and separators", "a\xC2\x85" "b\xE2\x80\xA8" "c", 1000, "a b c"},
        {"turning marks dropped", "\xE2\x80\xAE" "abc\xE2\x81\xA6" "d\xD8\x9C", 1000, "abcd"},
        {"not UTF-8", "a\xFF\xC3(b", 1000, "a\xEF\xBF\xBD\xEF\xBF\xBD(b"},
        {"zero bytes", std::string("a\0b", 3), 1000, "ab"},
        {"cut at a character", "ab\xC3\xA9\xC3\xA9\xC3\xA9", 7, "ab\xC3\xA9\xE2\x80\xA6"},
        {"cut inside a character: back to its start", "abc\xC3\xA9\xC3\xA9\xC3\xA9", 7, "abc\xE2\x80\xA6"},
        {"cut, no blank before the ellipsis", "abcd efgh", 8, "abcd\xE2\x80\xA6"},
        {"fits exactly", "abcdefgh", 8, "abcdefgh"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(clean_text(c.bytes, c.most), c.shown) << c.what;
    EXPECT_EQ(windows_1252_to_utf8("Caf\xE9 \x80\x81"), "Caf\xC3\xA9 \xE2\x82\xAC\xEF\xBF\xBD");
}

TEST(PictureFacts, WhatIsNoCaption)
{
    struct Case {
        const char* caption;
        const char* make;
        const char* model;
        bool filler;
    };
    const Case cases[] = {
        {"OLYMPUS DIGITAL CAMERA", "", "", true},
        {"GE DIGITAL CAMERA", "", "", true},  // by its form, whoever the maker
        {"SANYO DIGITAL CAMERA", "", "", true},
        {"sony dsc", "", "", true},
        {"PANASONIC DSC", "", "", true},
        {"  DCF 1.0 ", "", "", true},
        {"DCF2.2", "", "", true},
        {"", "", "", true},
        {"C:\\DCIM\\100\\P1.JPG", "", "", true},
        {"/DCIM/100CANON/IMG_1.JPG", "", "", true},
        {"Canon EOS 5D", "Canon", "Canon EOS 5D", true},  // the model
        {"CANON", "Canon", "Canon EOS 5D", true},         // the make
        {"NIKON CORPORATION NIKON D850", "NIKON CORPORATION", "NIKON D850", true},  // both
        {"Harbour at dusk", "Canon", "Canon EOS 5D", false},
        {"A camera on the table", "", "", false},
        {"Sony's DSC-RX100 in the rain", "", "", false},
        {"My new digital camera", "", "", false},
        {"Lunch at the DSC", "", "", false},
        {"DCF 1.0 release party", "", "", false},
        {"Canon EOS 5D at the lake", "Canon", "Canon EOS 5D", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(is_filler_caption(c.caption, c.make, c.model), c.filler) << c.caption;
}

// Where the metadata ends: at the first frame or scan, past stray bytes
// and markers that stand alone, never past what may be read.
TEST(PictureFacts, WhereTheMetadataEnds)
{
    const std::string app1 = "\xFF\xE1\x00\x06" "Exif"s;
    const std::string frame = "\xFF\xC0\x00\x02"s;
    EXPECT_EQ(metadata_bytes_of("\xFF\xD8" + app1 + frame), 2 + app1.size());
    EXPECT_EQ(metadata_bytes_of("\xFF\xD8" "junk\xFF\x01" + app1 + frame), 2 + 6 + app1.size());
    EXPECT_EQ(metadata_bytes_of("\xFF\xD8\xFF\xE1\x10\x00" "Exif"s), 2u + 2 + 0x1000);  // goes on past the bytes
    EXPECT_EQ(metadata_bytes_of("GIF89a"), 0u);
    // Photoshop's resources are read from their segment only: one whose
    // length says it holds nothing holds no digest.
    const std::string digested = with_iptc_and_digest(quarters_jpeg(16, 16), "Harbour", false);
    EXPECT_EQ(iptc_digest_of(digested), IptcDigest::holds);
    EXPECT_EQ(iptc_digest_of(with_iptc_and_digest(quarters_jpeg(16, 16), "Harbour", true)), IptcDigest::stale);
    std::string empty = digested;
    empty[4] = empty[5] = '\0';
    EXPECT_EQ(iptc_digest_of(empty), IptcDigest::none);
    PictureFacts facts;
    EXPECT_FALSE(read_picture_facts("GIF89a", facts));
    // A block that is no EXIF says nothing.
    EXPECT_TRUE(read_picture_facts("\xFF\xD8\xFF\xE1\x00\x04" "Ex"s, facts));
    EXPECT_EQ(facts_bytes(facts), facts_bytes(PictureFacts()));
    // Facts come back as they were written; damaged ones do not come back.
    facts.title = "Evening";
    facts.caption = "Harbour";
    facts.taken = {true, 2024, 2, 29, 23, 59, 59, 250000000};
    facts.rating = 4;
    PictureFacts again;
    ASSERT_TRUE(read_facts(facts_bytes(facts), again));
    EXPECT_EQ(facts_bytes(again), facts_bytes(facts));
    EXPECT_EQ(again.rating, 4);
    std::string impossible = facts_bytes(facts);
    impossible[5] = 30;  // the 30th of February
    EXPECT_FALSE(read_facts(impossible, again));
    EXPECT_TRUE(again.caption.empty());
    EXPECT_FALSE(read_facts(facts_bytes(facts) + "x", again));
}

// What a picture's facts add to the page stays within what the page's
// room is reckoned with, for the text that escapes the most.
TEST(PictureFacts, APageHoldsNoMoreThanReckoned)
{
    ImageList images;
    add_image(images, "a.jpg", 100, 1704190830);
    PageOptions plain, captions;
    captions.show_captions = captions.show_camera = captions.show_time_taken = true;
    std::vector<PictureFacts> facts(1);
    facts[0].title = facts[0].caption = std::string(kMostCaptionBytes, '\'');
    facts[0].camera = std::string(kMostCaptionBytes, '<');
    PageSink without, with;
    write_thumbnail_table(without, plain, images);
    write_image_entries(without, plain, images);
    write_thumbnail_table(with, captions, images, &facts);
    write_image_entries(with, captions, images, &facts);
    EXPECT_GT(with.pending.size(), without.pending.size() + 5 * 3 * kMostCaptionBytes);
    EXPECT_LE(with.pending.size(), without.pending.size() + page_bytes_of(facts[0]));
}

// BYDATE keeps pictures of one time in name order however many there are
// (a sort that is not stable keeps them so below 17 by chance).
TEST(PictureFacts, TheSameTimeKeepsNameOrder)
{
    ImageList images;
    std::vector<PictureFacts> facts(40);
    for (int i = 0; i < 40; ++i) {
        add_image(images, "IMG_" + std::to_string(1000 + i) + ".jpg", 1, 0);
        facts[static_cast<std::size_t>(i)].taken = {true, 2023, 7, 14, 18, 5, 59, 0};
    }
    facts[39].taken.second = 58;
    std::vector<std::size_t> expected = {39};
    for (std::size_t i = 0; i < 39; ++i)
        expected.push_back(i);
    EXPECT_EQ(date_order(images, facts, true), expected);
}

// The stars of an xmp:Rating as the tools write it; anything else is none.
TEST(PictureFacts, TheStarsOfARating)
{
    const std::pair<const char*, int> cases[] = {{"1", 1}, {"5", 5}, {" 3 ", 3}, {"4.0", 4}, {"0", 0}, {"-1", 0},
                                                 {"6", 0}, {"4.5", 0}, {"45", 0}, {"", 0}, {"x", 0}};
    for (const auto& [text, stars] : cases)
        EXPECT_EQ(rating_of_text(text), stars) << text;
}

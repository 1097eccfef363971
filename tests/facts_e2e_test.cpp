// What pictures say of themselves (CAPTIONS, TAKEN, CAMERA, BYDATE): the
// built korvel over pictures whose metadata libexiv2 set in the test.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

constexpr std::int64_t kJan2 = 1704190830;  // Tue Jan 02 11:20:30 2024 in the test zone
const std::string kFileTime = "02.Jan.2024 11:20:30";

std::string picture_with(const MetadataFields& fields)
{
    return with_metadata(quarters_jpeg(64, 48), fields);
}

// The section of picture number k, from its anchor to its rule.
std::string section_of(const std::string& page, int k)
{
    const std::string anchor = "<a name='" + std::to_string(k) + "'>";
    const std::size_t from = page.find(anchor);
    if (from == std::string::npos)
        return std::string();
    return page.substr(from, page.find("<hr>", from) - from);
}

struct Case {
    const char* name;
    MetadataFields fields;
    std::string caption;  // the caption line's text, "" for none
    std::string alt;      // the alt text of its picture and thumbnail
    std::string when;     // its date and time
    std::string camera;   // the camera line's text, "" for none
};

std::string page_of(const TempFolder& folder)
{
    RunResult run = run_korvel(folder.path);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "");
    return read_file(join_path(folder.path, "index.html"));
}

}  // namespace

// Each place a caption, a title, a time or the camera can stand, and what
// is no caption or no time, against the section it gives; hostile text
// stays text.
TEST(PictureFacts, EachSourceAgainstItsSection)
{
    const std::string long_caption(10000, 'w');
    std::vector<Case> cases = {
        {"desc", {{"Exif.Image.ImageDescription", "Harbour at dusk"}}, "Harbour at dusk", "Harbour at dusk",
         kFileTime, ""},
        {"filler", {{"Exif.Image.ImageDescription", "OLYMPUS DIGITAL CAMERA"}}, "", "filler", kFileTime, ""},
        {"path", {{"Exif.Image.ImageDescription", "C:\\DCIM\\100OLYMP\\P1.JPG"}}, "", "path", kFileTime, ""},
        {"blank", {{"Exif.Image.ImageDescription", "   "}, {"Xmp.dc.description", "Old town"}}, "Old town",
         "Old town", kFileTime, ""},
        {"iptc", {{"Iptc.Application2.Caption", "From the ferry"}}, "From the ferry", "From the ferry", kFileTime,
         ""},
        // IPTC without a digest: nothing says a program changed it since the
        // XMP was written, and XMP wins, as exiftool's MWG reading has it.
        {"both", {{"Xmp.dc.description", "XMP says"}, {"Iptc.Application2.Caption", "IPTC says"}}, "XMP says",
         "XMP says", kFileTime, ""},
        {"GE", {{"Exif.Image.ImageDescription", "GE DIGITAL CAMERA"}, {"Exif.Image.Make", "General Imaging"}}, "",
         "GE", kFileTime, "General Imaging"},
        {"titled", {{"Xmp.dc.title", "Evening"}, {"Exif.Image.ImageDescription", "Boats"}},
         "<b>Evening</b>&nbsp;&nbsp;Boats", "Evening: Boats", kFileTime, ""},
        {"markup", {{"Exif.Image.ImageDescription", "<script>alert('x')</script> & \"q\""}},
         "&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt; &amp; &quot;q&quot;",
         "&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt; &amp; &quot;q&quot;", kFileTime, ""},
        {"latin", {{"Exif.Image.ImageDescription", "Caf\xE9 \x80"}}, "Caf&#233; &#8364;", "Caf&#233; &#8364;",
         kFileTime, ""},
        {"turned", {{"Xmp.dc.description", "abc\xE2\x80\xAE" "def\nghi"}}, "abcdef ghi", "abcdef ghi", kFileTime,
         ""},
        {"long", {{"Xmp.dc.description", long_caption}}, std::string(997, 'w') + "&#8230;",
         std::string(997, 'w') + "&#8230;", kFileTime, ""},
        {"taken", {{"Exif.Photo.DateTimeOriginal", "2023:07:14 18:05:59"}, {"Exif.Photo.SubSecTimeOriginal", "25"}},
         "", "taken", "14.Jul.2023 18:05:59", ""},
        {"zero", {{"Exif.Photo.DateTimeOriginal", "0000:00:00 00:00:00"}}, "", "zero", kFileTime, ""},
        {"feb30", {{"Exif.Photo.DateTimeOriginal", "2023:02:30 10:00:00"}}, "", "feb30", kFileTime, ""},
        {"xmpdate", {{"Xmp.photoshop.DateCreated", "2021-03-04T05:06:07+02:00"}}, "", "xmpdate",
         "04.Mar.2021 05:06:07", ""},
        {"iptcdate", {{"Iptc.Application2.DateCreated", "2020-01-02"}, {"Iptc.Application2.TimeCreated", "03:04:05+00:00"}},
         "", "iptcdate", "02.Jan.2020 03:04:05", ""},
        // Sub-seconds as far as they are digits; a time that is not sound
        // gives way to the next source that holds one.
        {"subsecx", {{"Exif.Photo.DateTimeOriginal", "2023:07:14 18:05:59"}, {"Exif.Photo.SubSecTimeOriginal", "5x"}},
         "", "subsecx", "14.Jul.2023 18:05:59", ""},
        {"subsecdash", {{"Exif.Photo.DateTimeOriginal", "2023:07:14 18:05:59"}, {"Exif.Photo.SubSecTimeOriginal", "-5"}},
         "", "subsecdash", "14.Jul.2023 18:05:59", ""},
        {"zeroxmp", {{"Exif.Photo.DateTimeOriginal", "0000:00:00 00:00:00"}, {"Xmp.photoshop.DateCreated", "2021-03-04T05:06:07"}},
         "", "zeroxmp", "04.Mar.2021 05:06:07", ""},
        {"blankiptc", {{"Exif.Photo.DateTimeOriginal", "    :  :     :  :  "}, {"Iptc.Application2.DateCreated", "2020-01-02"},
          {"Iptc.Application2.TimeCreated", "03:04:05+00:00"}}, "", "blankiptc", "02.Jan.2020 03:04:05", ""},
        {"minute", {{"Xmp.photoshop.DateCreated", "2021-03-04T05:06+01:00"}}, "", "minute", "04.Mar.2021 05:06:00", ""},
        // A date alone shows as a date; beside the same date with its time
        // elsewhere, the time counts. Without a digest XMP's time wins
        // over IPTC's.
        {"iptcday", {{"Iptc.Application2.DateCreated", "2004-05-06"}}, "", "iptcday", "06.May.2004 ", ""},
        {"xmpday", {{"Xmp.photoshop.DateCreated", "2006-07-08"}, {"Iptc.Application2.DateCreated", "2006-07-08"},
          {"Iptc.Application2.TimeCreated", "09:10:11+00:00"}}, "", "xmpday", "08.Jul.2006 09:10:11", ""},
        {"bothtimes", {{"Xmp.photoshop.DateCreated", "2021-03-04T05:06:07"}, {"Iptc.Application2.DateCreated", "2020-01-02"},
          {"Iptc.Application2.TimeCreated", "03:04:05+00:00"}}, "", "bothtimes", "04.Mar.2021 05:06:07", ""},
        {"camera",
         {{"Exif.Image.Make", "NIKON CORPORATION"}, {"Exif.Image.Model", "NIKON D850"},
          {"Exif.Photo.LensModel", "24-70mm f/2.8"}, {"Exif.Photo.ExposureTime", "1/250"},
          {"Exif.Photo.FNumber", "28/10"}, {"Exif.Photo.ISOSpeedRatings", "100"}, {"Exif.Photo.FocalLength", "500/10"},
          {"Exif.GPSInfo.GPSLatitude", "48/1 51/1 29/1"}, {"Exif.Photo.BodySerialNumber", "SN-7342199"}},
         "", "camera", kFileTime, "NIKON D850, 24-70mm f/2.8, 1/250 s, f/2.8, ISO 100, 50.0 mm"},
        {"maker", {{"Exif.Image.Make", "OLYMPUS IMAGING CORP."}, {"Exif.Image.Model", "E-M5"}, {"Exif.Photo.ExposureTime", "2/1"}},
         "", "maker", kFileTime, "OLYMPUS E-M5, 2 s"},
    };
    TempFolder folder("Trip");
    for (const Case& c : cases)
        make_file(folder.path, std::string(c.name) + ".jpg", picture_with(c.fields), kJan2);
    // IPTC and XMP both, with the IPTC block's digest as the photo manager
    // that wrote both left it (XMP wins), or changed since (IPTC wins).
    const std::string xmp = picture_with({{"Xmp.dc.description", "XMP says"}});
    make_file(folder.path, "digest.jpg", with_iptc_and_digest(xmp, "IPTC says", false), kJan2);
    make_file(folder.path, "stale.jpg", with_iptc_and_digest(xmp, "IPTC says", true), kJan2);
    // Metadata behind three large colour blocks, past two reads' worth.
    const std::string colour = "\xFF\xE2\xEA\x60" + std::string(0xEA60 - 2, 'c');
    const std::string deep = picture_with({{"Exif.Image.ImageDescription", "Deep down"}});
    make_file(folder.path, "deep.jpg", deep.substr(0, 2) + colour + colour + colour + deep.substr(2), kJan2);
    cases.push_back({"deep", {}, "Deep down", "Deep down", kFileTime, ""});
    cases.push_back({"digest", {}, "XMP says", "XMP says", kFileTime, ""});
    cases.push_back({"stale", {}, "IPTC says", "IPTC says", kFileTime, ""});
    write_file(join_path(folder.path, "korvel0.htm"), "<KORVEL CAPTIONS TAKEN CAMERA NOFILESIZE>\n");
    const std::string page = page_of(folder);
    std::vector<std::string> names;
    for (const Case& c : cases)
        names.push_back(std::string(c.name) + ".jpg");
    names = in_name_order(names);
    for (const Case& c : cases) {
        const int k = static_cast<int>(std::find(names.begin(), names.end(), std::string(c.name) + ".jpg") -
                                       names.begin()) + 1;
        const std::string section = section_of(page, k);
        std::string expected = "<br>" + std::string(c.name) + ".jpg&nbsp;&nbsp;" + c.when +
                               "<a href='#TOP' style='text-decoration: none;'> [Top] </a>";
        if (!c.caption.empty())
            expected += "\n<br><bdi class='caption' style='overflow-wrap:anywhere'>" + c.caption + "</bdi>";
        if (!c.camera.empty())
            expected += "\n<br><bdi class='camera' style='overflow-wrap:anywhere'>" + c.camera + "</bdi>";
        // A plain page's picture has an alt text only where it has a caption.
        const std::string alt = c.caption.empty() ? "" : " alt='" + c.alt + "'";
        expected += "\n<p><a href='#" + std::to_string(k % static_cast<int>(cases.size()) + 1) + "'><img src='" +
                    c.name + ".jpg'" + alt + " border='1' align='top absmiddle'></a>\n";
        EXPECT_EQ(section, native_line_ends("<a name='" + std::to_string(k) + "'>" + expected)) << c.name;
        EXPECT_NE(page.find("<a href='#" + std::to_string(k) + "'><img src='" + c.name + ".jpg' alt='" + c.alt +
                            "' border='0' width='60'>"),
                  std::string::npos)
            << c.name;
    }
    for (const char* never : {"SN-7342199", "GPS", "51"})
        EXPECT_EQ(page.find(never), std::string::npos) << never;
}

// BYDATE: by the time each section shows, oldest first, to the
// sub-second the camera wrote, the same time by name; without TAKEN, by
// the files' times.
TEST(PictureFacts, ByDateOverTwoCameras)
{
    TempFolder folder("Trip");
    const MetadataFields later = {{"Exif.Photo.DateTimeOriginal", "2023:07:14 18:05:59"},
                                  {"Exif.Photo.SubSecTimeOriginal", "5"}};
    make_file(folder.path, "a.jpg", picture_with(later), kJan2);
    make_file(folder.path, "b.jpg", picture_with({{"Exif.Photo.DateTimeOriginal", "2023:07:14 18:05:58"}}), kJan2 - 60);
    make_file(folder.path, "c.jpg",
              picture_with({{"Exif.Photo.DateTimeOriginal", "2023:07:14 18:05:59"}, {"Exif.Photo.SubSecTimeOriginal", "1"}}),
              kJan2 - 120);
    make_file(folder.path, "d.jpg", picture_with({}), kJan2 - 180);  // no time taken: its file's
    make_file(folder.path, "e.jpg", picture_with(later), kJan2);
    write_file(join_path(folder.path, "korvel0.htm"), "<KORVEL BYDATE TAKEN>\n");
    std::string page = page_of(folder);
    auto order = [](const std::string& page) {
        std::string names;
        for (std::size_t at = page.find("<td"); at != std::string::npos; at = page.find("<td", at + 1))
            names += page.substr(page.find("<img src='", at) + 10, 1);
        return names;
    };
    EXPECT_EQ(order(page), "bcaed");  // to the sub-second, then by name
    write_file(join_path(folder.path, "korvel0.htm"), "<KORVEL BYDATE>\n");
    EXPECT_EQ(order(page_of(folder)), "dcbae");
}

// Made once: an unchanged folder reads no picture and leaves the record
// as it is; a caption changed with the file's time set back is seen; a
// picture others may not read shows no caption, nor keeps one.
TEST(PictureFacts, ReadOnceAndKeptPrivate)
{
    TempFolder folder("Trip");
    make_file(folder.path, "a.jpg", picture_with({{"Exif.Image.ImageDescription", "First words"}}), kJan2);
    make_file(folder.path, "b.jpg", picture_with({{"Exif.Image.ImageDescription", "Kept to myself"}}), kJan2);
    write_file(join_path(folder.path, "korvel0.htm"), "<KORVEL CAPTIONS>\n");
    const std::string record = join_path(join_path(folder.path, "korvel-facts"), ".korvel-record");
    const std::string page = page_of(folder);
    EXPECT_NE(page.find("First words"), std::string::npos);
    const std::string kept = read_file(record);
    EXPECT_NE(kept.find("First words"), std::string::npos);
    const auto written = std::filesystem::last_write_time(std::filesystem::u8path(record));
    EXPECT_EQ(page_of(folder), page);
    EXPECT_EQ(read_file(record), kept);
    EXPECT_EQ(std::filesystem::last_write_time(std::filesystem::u8path(record)), written);

    make_file(folder.path, "a.jpg", picture_with({{"Exif.Image.ImageDescription", "Other words"}}), kJan2);
    EXPECT_NE(page_of(folder).find("Other words"), std::string::npos);
#ifndef _WIN32
    std::filesystem::permissions(std::filesystem::u8path(join_path(folder.path, "b.jpg")),
                                 std::filesystem::perms::others_read | std::filesystem::perms::group_read,
                                 std::filesystem::perm_options::remove);
    const std::string private_page = page_of(folder);
    EXPECT_EQ(private_page.find("Kept to myself"), std::string::npos);
    EXPECT_EQ(read_file(record).find("Kept to myself"), std::string::npos);
#endif
}

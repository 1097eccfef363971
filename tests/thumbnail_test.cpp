// Thumbnails and views made from pictures that the test makes with the
// library.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "web_pictures/exif_orientation.h"
#include "web_pictures/jpeg_codec.h"
#include "web_pictures/memory_budget.h"
#include "web_pictures/resample.h"
#include "support/test_support.h"
#include "web_pictures/web_picture_image.h"
#include "web_pictures/webp_codec.h"

#include <webp/decode.h>
#include <webp/mux.h>

namespace {

struct Colour {
    int r, g, b;
};
const Colour kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kWhite{255, 255, 255};

// The picture with an EXIF block of one entry, the orientation, after its
// start marker.
std::string with_orientation(const std::string& picture, int orientation, unsigned char tag = 18)
{
    const unsigned char tiff[] = {'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1, 1, tag, 0, 3, 0, 0, 0, 1,
                                  0, (unsigned char)orientation, 0, 0, 0, 0, 0, 0, 0, 0};
    std::string block = std::string("Exif\0\0", 6) + std::string((const char*)tiff, sizeof tiff);
    std::string segment = "\xFF\xE1";
    segment += static_cast<char>((block.size() + 2) >> 8);
    segment += static_cast<char>((block.size() + 2) & 0xFF);
    return picture.substr(0, 2) + segment + block + picture.substr(2);
}

struct Decoded {
    JpegHeader header;
    unsigned width = 0, height = 0;
    std::vector<unsigned char> rgb;
    Colour at(unsigned x, unsigned y) const
    {
        const unsigned char* p = &rgb[(std::size_t{y} * width + x) * 3];
        return {p[0], p[1], p[2]};
    }
};

// A WebP piece decoded as a JPEG's header would tell it: upright,
// baseline, with its profile.
Decoded decode_webp(const std::string& webp)
{
    Decoded d;
    const WebPData data = {reinterpret_cast<const std::uint8_t*>(webp.data()), webp.size()};
    int width = 0, height = 0;
    std::uint8_t* rgb = WebPDecodeRGB(data.bytes, data.size, &width, &height);
    EXPECT_NE(rgb, nullptr);
    if (!rgb)
        return d;
    d.width = static_cast<unsigned>(width), d.height = static_cast<unsigned>(height);
    d.rgb.assign(rgb, rgb + std::size_t{d.width} * d.height * 3);
    WebPFree(rgb);
    WebPMux* mux = WebPMuxCreate(&data, 0);
    WebPData icc = {nullptr, 0};
    if (mux && WebPMuxGetChunk(mux, "ICCP", &icc) == WEBP_MUX_OK) {
        d.header.icc = static_cast<unsigned char*>(std::malloc(icc.size));
        std::copy(icc.bytes, icc.bytes + icc.size, d.header.icc);
        d.header.icc_size = static_cast<unsigned>(icc.size);
    }
    WebPMuxDelete(mux);
    return d;
}

Decoded decode(const std::string& jpeg)
{
    if (jpeg.compare(0, 4, "RIFF") == 0)
        return decode_webp(jpeg);
    Decoded d;
    const unsigned char* data = reinterpret_cast<const unsigned char*>(jpeg.data());
    EXPECT_TRUE(read_jpeg_header(data, jpeg.size(), d.header));
    scaled_size(d.header, 1, d.width, d.height);
    d.rgb.resize(std::size_t{d.width} * d.height * 3);
    EXPECT_TRUE(decode_jpeg(data, jpeg.size(), 1, 64 << 20, d.rgb.data()));
    return d;
}

bool made(const std::string& picture, std::string& thumbnail, ShownSize* shown_size = nullptr)
{
    ShownSize shown;
    bool ok = make_thumbnail(reinterpret_cast<const unsigned char*>(picture.data()), picture.size(), "korvel",
                             thumbnail, shown);
    if (shown_size)
        *shown_size = shown;
    return ok;
}

bool near(Colour a, Colour b)
{
    return std::abs(a.r - b.r) < 48 && std::abs(a.g - b.g) < 48 && std::abs(a.b - b.b) < 48;
}

// The corners of quarters_jpeg as each orientation shows them, from the
// top left, clockwise.
const Colour kCorners[9][4] = {{},
                               {kRed, kGreen, kWhite, kBlue},  {kGreen, kRed, kBlue, kWhite},
                               {kWhite, kBlue, kRed, kGreen},  {kBlue, kWhite, kGreen, kRed},
                               {kRed, kBlue, kWhite, kGreen},  {kBlue, kRed, kGreen, kWhite},
                               {kWhite, kGreen, kRed, kBlue},  {kGreen, kWhite, kBlue, kRed}};

// A JPEG korvel made is upright, baseline, carries the profile and no EXIF
// block, and shows the corners its picture's orientation gives.
void expect_shown(const std::string& jpeg, const std::string& profile, int orientation, const char* what)
{
    Decoded d = decode(jpeg);
    EXPECT_FALSE(d.header.progressive) << what;
    EXPECT_EQ(d.header.orientation, 1) << what;
    EXPECT_EQ(jpeg.find("Exif"), std::string::npos) << what;
    EXPECT_EQ(d.header.icc ? std::string(reinterpret_cast<char*>(d.header.icc), d.header.icc_size) : "", profile) << what;
    std::free(d.header.icc);
    const Colour seen[4] = {d.at(2, 2), d.at(d.width - 3, 2), d.at(d.width - 3, d.height - 3), d.at(2, d.height - 3)};
    for (int corner = 0; corner < 4; ++corner)
        EXPECT_TRUE(near(seen[corner], kCorners[orientation][corner])) << what << " corner " << corner;
}

}  // namespace

// Every piece of every shape, from one decode: views with the long side
// 1600 and 800, thumbnails 120 and 60 wide, upright and turned where the
// picture is, each in JPEG and WebP; a picture no longer than a view that
// needs no turn shows itself instead.
TEST(Thumbnail, PiecesOfEveryShape)
{
    struct Case {
        const char* what;
        unsigned width, height;
        int orientation;
        unsigned sizes[4][2];  // view, small view, thumbnail, small thumbnail; 0 by 0: none
    };
    const Case cases[] = {
        {"landscape", 2400, 1800, 1, {{1600, 1200}, {800, 600}, {120, 90}, {60, 45}}},
        {"portrait", 1800, 2400, 1, {{1200, 1600}, {600, 800}, {120, 160}, {60, 80}}},
        {"turned clockwise", 2400, 1800, 6, {{1200, 1600}, {600, 800}, {120, 160}, {60, 80}}},
        {"turned anticlockwise", 2400, 1800, 8, {{1200, 1600}, {600, 800}, {120, 160}, {60, 80}}},
        {"already small", 800, 600, 1, {{0, 0}, {0, 0}, {120, 90}, {60, 45}}},
        {"small but turned", 800, 600, 6, {{600, 800}, {600, 800}, {120, 160}, {60, 80}}},
        {"a view's size exactly", 1600, 900, 1, {{0, 0}, {800, 450}, {120, 68}, {60, 34}}},
        {"panorama", 4800, 500, 1, {{1600, 167}, {800, 83}, {120, 13}, {60, 6}}}};
    const std::size_t kinds[4] = {kViews, kSmallViews, kThumbnails, kSmallThumbnails};
    const std::string profile(200, '\x37');
    const char* const marks[kKinds] = {"t", "v", "st", "sv", "tw", "vw", "stw", "svw"};
    for (const Case& c : cases) {
        const std::string picture = with_orientation(quarters_jpeg(c.width, c.height, profile), c.orientation);
        WebPictureOrder order;
        std::fill(order.wanted, order.wanted + kKinds, true);
        order.marks = marks;
        WebPictures made;
        make_web_pictures_of(reinterpret_cast<const unsigned char*>(picture.data()), picture.size(), order, made);
        EXPECT_EQ(made.shown.width, c.orientation >= 5 ? c.height : c.width) << c.what;
        for (int k = 0; k < 4; ++k) {
            for (std::size_t kind : {kinds[k], webp_kind_of(kinds[k])}) {
                const std::string what = std::string(c.what) + ", " + kPieceKinds[kind].folder;
                ASSERT_EQ(made.made[kind], c.sizes[k][0] != 0) << what;
                if (!made.made[kind]) {
                    EXPECT_TRUE(made.bytes[kind].empty()) << what;
                    continue;
                }
                Decoded piece = decode(made.bytes[kind]);
                std::free(piece.header.icc);
                EXPECT_EQ(piece.width, c.sizes[k][0]) << what;
                EXPECT_EQ(piece.height, c.sizes[k][1]) << what;
                if (piece.height >= 12)  // corners apart from the middle
                    expect_shown(made.bytes[kind], profile, c.orientation, what.c_str());
                if (kPieceKinds[kind].webp) {
                    EXPECT_TRUE(webp_carries_mark(made.bytes[kind], marks[kind])) << what;
                    EXPECT_LT(made.bytes[kind].size(), made.bytes[kinds[k]].size()) << what;
                }
            }
        }
    }
}

// A picture of fine texture (grain of one pixel) whose WebP is not always
// smaller than its JPEG: a WebP is kept only where it is.
TEST(Thumbnail, AWebPOnlyWhereItIsSmaller)
{
    const unsigned width = 2400, height = 1800;
    std::vector<unsigned char> pixels(std::size_t{width} * height * 3);
    std::uint32_t state = 7;
    for (unsigned char& p : pixels) {
        state = state * 1664525u + 1013904223u;
        p = static_cast<unsigned char>(48 + (state >> 24) % 160);
    }
    unsigned char* out = nullptr;
    unsigned long size = 0;
    ASSERT_TRUE(encode_jpeg(pixels.data(), width, height, 95, "", nullptr, 0, &out, &size));
    const std::string picture(reinterpret_cast<char*>(out), size);
    std::free(out);
    WebPictureOrder order;
    std::fill(order.wanted, order.wanted + kKinds, true);
    const char* const marks[kKinds] = {"t", "v", "st", "sv", "tw", "vw", "stw", "svw"};
    order.marks = marks;
    WebPictures made;
    make_web_pictures_of(reinterpret_cast<const unsigned char*>(picture.data()), picture.size(), order, made);
    bool some_not_made = false;
    for (std::size_t kind : {kViews, kSmallViews, kThumbnails, kSmallThumbnails}) {
        ASSERT_TRUE(made.made[kind]) << kPieceKinds[kind].folder;
        const std::size_t webp = webp_kind_of(kind);
        some_not_made = some_not_made || !made.made[webp];
        if (made.made[webp]) {
            EXPECT_LT(made.bytes[webp].size(), made.bytes[kind].size()) << kPieceKinds[webp].folder;
        }
    }
    EXPECT_TRUE(some_not_made) << "the texture no longer makes a WebP larger than its JPEG";
}

// Each orientation turns the thumbnail upright: its corners, from the top
// left, clockwise; the picture's size as shown is turned too.
TEST(Thumbnail, UprightInEveryOrientation)
{
    const std::string picture = quarters_jpeg(240, 160);
    for (int orientation = 1; orientation <= 8; ++orientation) {
        std::string thumbnail;
        ShownSize shown;
        ASSERT_TRUE(made(with_orientation(picture, orientation), thumbnail, &shown)) << orientation;
        EXPECT_EQ(shown.width, orientation >= 5 ? 160u : 240u);
        EXPECT_EQ(shown.height, orientation >= 5 ? 240u : 160u);
        Decoded d = decode(thumbnail);
        EXPECT_EQ(d.width, 120u);
        EXPECT_EQ(d.height, orientation >= 5 ? 180u : 80u);
        expect_shown(thumbnail, "", orientation, std::to_string(orientation).c_str());
    }
}

// The colour profile goes with the picture; a picture korvel cannot make a
// right thumbnail of makes none, nor one whose profile would outweigh it.
TEST(Thumbnail, KeepsTheProfileAndRefusesWhatItCannotMake)
{
    const std::string profile(300, '\x42');
    std::string thumbnail;
    ASSERT_TRUE(made(quarters_jpeg(240, 160, profile), thumbnail));
    JpegHeader header = decode(thumbnail).header;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(header.icc), header.icc_size), profile);
    std::free(header.icc);

    const std::string picture = quarters_jpeg(240, 160);
    std::string damaged = picture;
    for (std::size_t i = picture.size() / 2; i < picture.size() / 2 + 64; ++i)
        damaged[i] = '\xFF';
    std::string huge = picture;
    std::size_t frame = huge.find("\xFF\xC0");
    ASSERT_NE(frame, std::string::npos);
    huge.replace(frame + 5, 4, "\xFF\xFF\xFF\xFF");  // 65,535 by 65,535
    JpegRecipe cmyk;
    cmyk.cmyk = true;
    const std::string cmyk_picture = recipe_jpeg(240, 160, cmyk);
    const std::string printers_profile = quarters_jpeg(240, 160, std::string(65537, '\x42'));
    for (const std::string& bad : {std::string("GIF89a not a picture"), picture.substr(0, picture.size() / 2),
                                   damaged, huge, cmyk_picture, quarters_jpeg(100, 160), printers_profile}) {
        EXPECT_FALSE(made(bad, thumbnail));
        EXPECT_EQ(thumbnail, "");
    }
}

TEST(Thumbnail, ExifOrientationReadsOnlyInsideTheBlock)
{
    std::string picture = with_orientation("\xFF\xD8", 6);
    const unsigned char* block = reinterpret_cast<const unsigned char*>(picture.data()) + 6;
    const std::size_t whole = picture.size() - 6;
    EXPECT_EQ(exif_orientation(block, whole), 6);
    // The tag's value ends 26 bytes in; under the sanitizers, nothing past
    // a cut is read.
    for (std::size_t cut = 0; cut < whole; ++cut)
        EXPECT_EQ(exif_orientation(block, cut), cut >= 26 ? 6 : 1) << cut;

    // As browsers read it: from the first EXIF block alone, not from a
    // second one behind a first without the tag; an XMP block is none.
    const std::string plain = quarters_jpeg(240, 160);
    const std::string xmp = std::string("\xFF\xE1\x00\x1F", 4) + "http://ns.adobe.com/xap/1.0/" + '\0';
    for (const auto& [picture, orientation] :
         {std::pair{with_orientation(with_orientation(plain, 6), 1, 19), 1},
          {plain.substr(0, 2) + xmp + with_orientation(plain, 6).substr(2), 6}}) {
        JpegHeader header;
        EXPECT_TRUE(read_jpeg_header(reinterpret_cast<const unsigned char*>(picture.data()), picture.size(), header));
        EXPECT_EQ(header.orientation, orientation);
        std::free(header.icc);
    }
}

namespace {

// The Lanczos-3 reduction done plainly, in double precision with the
// library's sin, down the columns and then along the rows, each pass
// rounded to bytes.
std::vector<double> reference_pass(const std::vector<double>& from, unsigned from_size, unsigned lines,
                                   unsigned to_size, bool along_rows)
{
    const double pi = 3.14159265358979323846, scale = double(from_size) / to_size, support = 3 * scale;
    auto kernel = [&](double x) {
        x /= scale;
        return x == 0 ? 1.0 : std::fabs(x) >= 3 ? 0.0 : 3 * std::sin(pi * x) * std::sin(pi * x / 3) / (pi * pi * x * x);
    };
    std::vector<double> to(std::size_t{to_size} * lines * 3);
    for (unsigned line = 0; line < lines; ++line)
        for (unsigned out = 0; out < to_size; ++out)
            for (int c = 0; c < 3; ++c) {
                const double centre = (out + 0.5) * scale;
                double sum = 0, total = 0;
                const unsigned low = centre > support ? unsigned(centre - support) : 0;
                for (unsigned i = low; i < from_size && i < centre + support; ++i) {
                    const double w = kernel(i + 0.5 - centre);
                    sum += w * from[along_rows ? (std::size_t{line} * from_size + i) * 3 + c
                                               : (std::size_t{i} * lines + line) * 3 + c];
                    total += w;
                }
                const double v = std::min(255.0, std::max(0.0, std::floor(sum / total + 0.5)));
                to[along_rows ? (std::size_t{line} * to_size + out) * 3 + c : (std::size_t{out} * lines + line) * 3 + c] = v;
            }
    return to;
}

}  // namespace

// The reduction of fine stripes and a hard edge matches a plain reference
// in double precision to within one step a channel, at factors a
// thumbnail and a larger view use; stripes finer than the new pixels fade
// to grey instead of beating into coarse bands.
TEST(Thumbnail, ReducesAsTheLanczosFilterDoes)
{
    Pixels picture;
    picture.width = 480;
    picture.height = 360;
    for (unsigned y = 0; y < picture.height; ++y)
        for (unsigned x = 0; x < picture.width; ++x) {
            const bool stripe = x < 240 ? (x / 2) % 2 == 0 : (y / 3) % 2 == 0;
            const bool bright = y < 180 ? stripe : x > 300;
            picture.rgb.push_back(bright ? 250 : 10);
            picture.rgb.push_back(static_cast<unsigned char>(x / 2));
            picture.rgb.push_back(static_cast<unsigned char>(y));
        }
    const std::vector<double> source(picture.rgb.begin(), picture.rgb.end());
    for (auto [width, height] : {std::pair<unsigned, unsigned>{120, 90}, {300, 225}, {480, 360}, {77, 360}}) {
        const Pixels reduced = resample_lanczos3(picture, width, height);
        ASSERT_EQ(reduced.rgb.size(), std::size_t{width} * height * 3);
        const std::vector<double> down = reference_pass(source, picture.height, picture.width, height, false);
        const std::vector<double> expected = reference_pass(down, picture.width, height, width, true);
        int worst = 0;
        for (std::size_t i = 0; i < expected.size(); ++i)
            worst = std::max(worst, std::abs(int(reduced.rgb[i]) - int(expected[i])));
        EXPECT_LE(worst, 1) << width << "x" << height;
        if (width == 120) {
            // Stripes two pixels wide, at a quarter: grey, within a few steps.
            for (unsigned x = 10; x < 50; ++x)
                EXPECT_NEAR(reduced.rgb[(std::size_t{20} * width + x) * 3], 130, 12) << x;
            // The edge at x = 300 stays within two new pixels.
            EXPECT_LT(reduced.rgb[(std::size_t{60} * width + 73) * 3], 30);
            EXPECT_GT(reduced.rgb[(std::size_t{60} * width + 77) * 3], 230);
        }
    }
}

// The run's memory budget: what is taken counts until it is given back, and
// a thread that holds a picture's bytes may always decode it when no other
// is decoding, so that threads each holding a picture never wait on one
// another for good.
TEST(Thumbnail, OneMemoryBudgetForAllThreads)
{
    MemoryBudget budget;
    budget.most = 10;
    take_memory(budget, 8, false);  // a picture's bytes
    take_memory(budget, 8, true);   // past the budget, but no one else is decoding
    EXPECT_EQ(budget.taken, 16u);
    EXPECT_EQ(budget.decoding, 1u);
    std::atomic<bool> second{false};
    std::thread other([&] {
        take_memory(budget, 4, true);  // waits: another is decoding, and the budget is spent
        second = true;
        give_back_memory(budget, 4, true);
    });
    give_back_memory(budget, 8, true);
    give_back_memory(budget, 8, false);
    other.join();
    EXPECT_TRUE(second);
    EXPECT_EQ(budget.taken, 0u);
    EXPECT_EQ(budget.decoding, 0u);

    // Pictures' bytes wait for their half of the budget whether anyone
    // decodes or not. (A thread slower than the pause below passes the
    // test by chance; none fails it by chance.)
    take_memory(budget, 4, false);
    std::atomic<bool> released{false}, early{false};
    std::thread bytes([&] {
        take_memory(budget, 4, false);
        early = !released;
        give_back_memory(budget, 4, false);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    released = true;
    give_back_memory(budget, 4, false);
    bytes.join();
    EXPECT_FALSE(early) << "a picture's bytes past half the budget while no one decodes";
}

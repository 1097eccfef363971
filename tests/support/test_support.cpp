#include "support/test_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <exiv2/exiv2.hpp>
#include <jpeglib.h>
#include <md5.h>

#include "web_pictures/jpeg_codec.h"

// Paths are UTF-8 here as in the tool: u8path keeps them so on Windows too.
void write_file(const std::string& path, const std::string& content)
{
    std::ofstream out(std::filesystem::u8path(path), std::ios::binary | std::ios::trunc);
    out << content;
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

std::string read_file(const std::string& path)
{
    std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string quarters_jpeg(unsigned width, unsigned height, const std::string& icc)
{
    std::vector<unsigned char> rgb;
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < width; ++x) {
            bool top = y < height / 2, left = x < width / 2;
            unsigned char r = top == left ? 255 : 0, g = left ? 0 : 255;
            rgb.insert(rgb.end(), {r, g, static_cast<unsigned char>(top ? 0 : 255)});
        }
    unsigned char* out = nullptr;
    unsigned long size = 0;
    if (!encode_jpeg(rgb.data(), width, height, 95, "test", icc.empty() ? nullptr : (const unsigned char*)icc.data(),
                     static_cast<unsigned>(icc.size()), &out, &size))
        throw std::runtime_error("cannot make a picture");
    std::string bytes(reinterpret_cast<char*>(out), size);
    std::free(out);
    return bytes;
}

std::string recipe_jpeg(unsigned width, unsigned height, const JpegRecipe& recipe)
{
    std::vector<unsigned char> row;
    for (unsigned x = 0; x < width; ++x)
        if (recipe.cmyk)
            row.insert(row.end(), {7, 7, 7, 7});
        else
            row.insert(row.end(), {recipe.r, recipe.g, recipe.b});
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = recipe.cmyk ? 4 : 3;
    cinfo.in_color_space = recipe.cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    const int sampling = recipe.subsampled ? 2 : 1;
    cinfo.comp_info[0].h_samp_factor = cinfo.comp_info[0].v_samp_factor = sampling;
    // Progressive without successive approximation: the DC of all three,
    // then each component's AC whole. A first AC scan read again changes
    // nothing the library warns of.
    jpeg_scan_info scans[4] = {{3, {0, 1, 2, 0}, 0, 0, 0, 0}, {1, {0}, 1, 63, 0, 0}, {1, {1}, 1, 63, 0, 0},
                               {1, {2}, 1, 63, 0, 0}};
    jpeg_scan_info baseline_scans[3] = {{1, {0}, 0, 63, 0, 0}, {1, {1}, 0, 63, 0, 0}, {1, {2}, 0, 63, 0, 0}};
    if (recipe.progressive && !recipe.cmyk) {
        cinfo.scan_info = scans;
        cinfo.num_scans = 4;
    } else if (recipe.scans_per_colour && !recipe.cmyk) {
        cinfo.scan_info = baseline_scans;
        cinfo.num_scans = 3;
    }
    jpeg_start_compress(&cinfo, TRUE);
    for (unsigned y = 0; y < height; ++y) {
        JSAMPROW line = row.data();
        jpeg_write_scanlines(&cinfo, &line, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::string bytes(reinterpret_cast<char*>(out), size);
    std::free(out);
    if (recipe.repeats > 0) {
        // The second scan runs from its start-of-scan marker to the third's.
        std::size_t first = bytes.find("\xFF\xDA");
        std::size_t second = bytes.find("\xFF\xDA", first + 2);
        std::size_t third = bytes.find("\xFF\xDA", second + 2);
        if (third == std::string::npos)
            throw std::runtime_error("no scans to repeat");
        std::string scan = bytes.substr(second, third - second), more;
        for (unsigned i = 0; i < recipe.repeats; ++i)
            more += scan;
        bytes.insert(third, more);
    }
    if (bytes.size() < recipe.pad_to)
        bytes.append(recipe.pad_to - bytes.size(), '\0');
    return bytes;
}

void make_jpeg(const std::string& folder, const std::string& name, unsigned width, unsigned height,
               std::int64_t modified)
{
    make_file(folder, name, quarters_jpeg(width, height), modified);
}

std::vector<std::string> in_name_order(std::vector<std::string> names)
{
    auto folded = [](std::string name) {
        for (char& c : name)
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
        return name;
    };
    std::sort(names.begin(), names.end());  // by the bytes, which break the ties below
    std::stable_sort(names.begin(), names.end(),
                     [&](const std::string& a, const std::string& b) { return folded(a) < folded(b); });
    return names;
}

std::vector<std::string> folder_entries(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::u8path(folder)))
        names.push_back(entry.path().filename().u8string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string with_metadata(const std::string& jpeg, const MetadataFields& fields)
{
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    auto image = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(jpeg.data()),
                                           static_cast<long>(jpeg.size()));
    image->readMetadata();
    for (const auto& [key, value] : fields) {
        if (key.rfind("Exif.", 0) == 0)
            image->exifData()[key] = value;
        else if (key.rfind("Iptc.", 0) == 0)
            image->iptcData()[key] = value;
        else
            image->xmpData()[key] = value;
    }
    image->writeMetadata();
    Exiv2::BasicIo& io = image->io();
    io.seek(0, Exiv2::BasicIo::beg);
    Exiv2::DataBuf bytes = io.read(static_cast<long>(io.size()));
    return std::string(reinterpret_cast<const char*>(bytes.pData_), static_cast<std::size_t>(bytes.size_));
}

namespace {

// A Photoshop resource: its signature, tag, empty name, size and data,
// padded to an even length.
std::string photoshop_resource(unsigned tag, const std::string& data)
{
    std::string out = "8BIM";
    out += static_cast<char>(tag >> 8);
    out += static_cast<char>(tag & 0xFF);
    out += std::string(2, '\0');
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>(data.size() >> shift & 0xFF);
    out += data;
    if (data.size() % 2 != 0)
        out += '\0';
    return out;
}

}  // namespace

std::string with_iptc_and_digest(const std::string& jpeg, const std::string& caption, bool stale)
{
    std::string iptc = std::string("\x1C\x02\x00\x00\x02\x00\x04", 7);  // the record's version, 4
    iptc += "\x1C\x02\x78";
    iptc += static_cast<char>(caption.size() >> 8);
    iptc += static_cast<char>(caption.size() & 0xFF);
    iptc += caption;
    MD5_CTX context;
    MD5Init(&context);
    MD5Update(&context, reinterpret_cast<const std::uint8_t*>(iptc.data()), iptc.size());
    std::uint8_t digest[MD5_DIGEST_LENGTH];
    MD5Final(digest, &context);
    if (stale)
        digest[0] ^= 1;
    const std::string payload = std::string("Photoshop 3.0", 14) + photoshop_resource(0x0404, iptc) +
                                photoshop_resource(0x0425, std::string(reinterpret_cast<char*>(digest), 16));
    std::string segment = "\xFF\xED";
    segment += static_cast<char>((payload.size() + 2) >> 8);
    segment += static_cast<char>((payload.size() + 2) & 0xFF);
    return jpeg.substr(0, 2) + segment + payload + jpeg.substr(2);
}

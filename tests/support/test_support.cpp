#include "support/test_support.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "thumbnails/jpeg_codec.h"

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

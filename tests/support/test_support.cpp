#include "support/test_support.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

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

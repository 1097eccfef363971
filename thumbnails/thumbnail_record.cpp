// The record as text: a first line that marks it as korvel's, one line a
// picture with the numbers first and the name, of a stated length, last
// (a name may hold any byte), and a last line with the count, so that a
// record cut short is seen as damaged.
#include "thumbnails/thumbnail_record.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kFirstLine = "korvel thumbnail record 1\n";
// The coarsest tick of a file system's times: FAT keeps two seconds.
constexpr std::int64_t kCoarsestTick = 2;

// Reads an unsigned decimal or hexadecimal number followed by one blank.
bool number_at(std::string_view bytes, std::size_t& at, int base, std::uint64_t& value)
{
    value = 0;
    std::size_t start = at;
    for (; at < bytes.size() && bytes[at] != ' '; ++at) {
        char c = bytes[at];
        int digit = c >= '0' && c <= '9' ? c - '0' : base == 16 && c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (digit < 0 || value > (UINT64_MAX - digit) / base)
            return false;
        value = value * base + digit;
    }
    return at > start && at++ < bytes.size();
}

// One picture's line: "+" (or "-" for a picture that makes no thumbnail),
// its size, time in seconds (signed) and nanoseconds, stamp and content
// hash in hexadecimal, width, height, the name's length and the name.
bool entry_at(std::string_view bytes, std::size_t& at, RecordEntry& entry)
{
    if (at + 2 > bytes.size() || (bytes[at] != '+' && bytes[at] != '-') || bytes[at + 1] != ' ')
        return false;
    entry.thumbnail = bytes[at] == '+';
    at += 2;
    std::uint64_t size = 0, seconds = 0, nanoseconds = 0, stamp = 0, content = 0, width = 0, height = 0,
                  length = 0;
    if (!number_at(bytes, at, 10, size))
        return false;
    const bool negative = at < bytes.size() && bytes[at] == '-';
    at += negative ? 1 : 0;
    if (!number_at(bytes, at, 10, seconds) || !number_at(bytes, at, 10, nanoseconds) ||
        !number_at(bytes, at, 16, stamp) || !number_at(bytes, at, 16, content) ||
        !number_at(bytes, at, 10, width) || !number_at(bytes, at, 10, height) || !number_at(bytes, at, 10, length))
        return false;
    if (seconds > INT64_MAX || nanoseconds > 999999999u || width > 0xFFFFFFFFu || height > 0xFFFFFFFFu ||
        length == 0 || length >= bytes.size() - at || bytes[at + length] != '\n')
        return false;
    entry.size = size;
    entry.modified = negative ? -static_cast<std::int64_t>(seconds) : static_cast<std::int64_t>(seconds);
    entry.modified_nanoseconds = static_cast<std::uint32_t>(nanoseconds);
    entry.stamp = stamp;
    entry.content = content;
    entry.width = static_cast<unsigned>(width);
    entry.height = static_cast<unsigned>(height);
    entry.name = bytes.substr(at, static_cast<std::size_t>(length));
    at += static_cast<std::size_t>(length) + 1;
    return true;
}

}  // namespace

bool read_record(std::string_view bytes, std::vector<RecordEntry>& entries)
{
    entries.clear();
    const std::size_t first = std::strlen(kFirstLine);
    if (bytes.substr(0, first) != kFirstLine)
        return false;
    std::size_t at = first;
    while (at < bytes.size() && bytes[at] != 'e') {
        RecordEntry entry;
        if (!entry_at(bytes, at, entry) ||
            (!entries.empty() && compare_names(entries.back().name, entry.name) >= 0)) {
            entries.clear();
            return false;
        }
        entries.push_back(entry);
    }
    char end[32];
    std::snprintf(end, sizeof end, "end %zu\n", entries.size());
    if (bytes.substr(at) != end) {
        entries.clear();
        return false;
    }
    return true;
}

std::string record_text(const std::vector<RecordEntry>& entries)
{
    std::string text = kFirstLine;
    char numbers[200];
    for (const RecordEntry& e : entries) {
        const std::uint64_t seconds =
            e.modified < 0 ? 0 - static_cast<std::uint64_t>(e.modified) : static_cast<std::uint64_t>(e.modified);
        std::snprintf(numbers, sizeof numbers,
                      "%c %" PRIu64 " %s%" PRIu64 " %" PRIu32 " %016" PRIx64 " %016" PRIx64 " %u %u %zu ",
                      e.thumbnail ? '+' : '-', e.size, e.modified < 0 ? "-" : "", seconds, e.modified_nanoseconds,
                      e.stamp, e.content, e.width, e.height, e.name.size());
        text += numbers;
        text += e.name;
        text += '\n';
    }
    std::snprintf(numbers, sizeof numbers, "end %zu\n", entries.size());
    return text + numbers;
}

std::uint64_t content_hash(const std::string& bytes)
{
    // Eight bytes at a time, each word mixed in by a multiply and a shift.
    std::uint64_t hash = 0x84222325CBF29CE4ULL ^ bytes.size();
    std::size_t at = 0;
    for (; at + 8 <= bytes.size(); at += 8) {
        std::uint64_t word = 0;
        for (int i = 7; i >= 0; --i)
            word = word << 8 | static_cast<unsigned char>(bytes[at + i]);
        hash = (hash ^ word) * 0x9E3779B97F4A7C15ULL;
        hash ^= hash >> 29;
    }
    for (; at < bytes.size(); ++at)
        hash = (hash ^ static_cast<unsigned char>(bytes[at])) * 0x100000001B3ULL;
    return hash ^ (hash >> 32);
}

RecordEntry entry_for(const ImageFile& image, std::uint64_t content)
{
    RecordEntry entry;
    entry.name = image.name;
    entry.size = image.size;
    entry.modified = image.modified;
    entry.modified_nanoseconds = image.modified_nanoseconds;
    entry.stamp = image.stamp;
    entry.content = content;
    return entry;
}

Standing standing_of(const RecordEntry& entry, const ImageFile& image, std::int64_t record_written)
{
    if (entry.size != image.size)
        return Standing::changed;
    if (entry.modified != image.modified || entry.modified_nanoseconds != image.modified_nanoseconds ||
        entry.stamp != image.stamp || image.modified > record_written - kCoarsestTick)
        return Standing::maybe;
    return Standing::unchanged;
}

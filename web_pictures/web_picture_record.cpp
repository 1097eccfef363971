// The record in bytes: a first line that marks it as korvel's, then one
// entry a picture, its numbers little-endian in fixed widths and its name,
// of a stated length, last (a name may hold any byte); then "end", the
// count, and the XXH3 hash of all that comes before it, so that a record
// cut short or damaged anywhere, in a single bit, is seen as damaged.
// Fixed widths read far faster than decimal text, and the record is read
// on every run.
#include "web_pictures/web_picture_record.h"

#include <cstring>

#define XXH_INLINE_ALL
#include <xxhash.h>

#include "platform/web_picture_files.h"

namespace {

constexpr const char* kFirstLine = "korvel thumbnail record 3\n";
constexpr const char* kFactsFirstLine = "korvel facts record 1\n";
constexpr std::size_t kEntryBytes = 1 + 8 + 8 + 4 + 8 + 8 + 8 + 4 + 4 + 4;  // before the name
constexpr const char* kEnd = "end";

std::uint64_t number_at(const char* at, int bytes)
{
    std::uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(at[i]);
    return value;
}

void append_number(std::string& text, std::uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i, value >>= 8)
        text += static_cast<char>(value & 0xFF);
}

// One picture's entry at at, whose name ends inside bytes.
bool entry_at(std::string_view bytes, std::size_t& at, bool with_extra, RecordEntry& entry)
{
    if (bytes.size() - at < kEntryBytes)
        return false;
    const char* p = bytes.data() + at;
    const unsigned flags = static_cast<unsigned char>(p[0]);
    entry.made = flags == 1;
    entry.size = number_at(p + 1, 8);
    entry.modified = static_cast<std::int64_t>(number_at(p + 9, 8));
    entry.modified_nanoseconds = static_cast<std::uint32_t>(number_at(p + 17, 4));
    entry.stamp = number_at(p + 21, 8);
    entry.content = number_at(p + 29, 8);
    entry.head = number_at(p + 37, 8);
    entry.width = static_cast<unsigned>(number_at(p + 45, 4));
    entry.height = static_cast<unsigned>(number_at(p + 49, 4));
    const std::uint64_t length = number_at(p + 53, 4);
    at += kEntryBytes;
    if (flags > 1 || entry.modified_nanoseconds > 999999999u || length == 0 || length > bytes.size() - at)
        return false;
    entry.name = bytes.substr(at, static_cast<std::size_t>(length));
    at += static_cast<std::size_t>(length);
    if (!with_extra)
        return true;
    if (bytes.size() - at < 4)
        return false;
    const std::uint64_t extra = number_at(bytes.data() + at, 4);
    at += 4;
    if (extra > bytes.size() - at)
        return false;
    entry.extra = bytes.substr(at, static_cast<std::size_t>(extra));
    at += static_cast<std::size_t>(extra);
    return true;
}

}  // namespace

bool read_record(std::string_view bytes, std::vector<RecordEntry>& entries, bool with_extra)
{
    entries.clear();
    const char* first_line = with_extra ? kFactsFirstLine : kFirstLine;
    const std::size_t first = std::strlen(first_line), end = std::strlen(kEnd);
    if (bytes.substr(0, first) != first_line || bytes.size() < first + end + 8 + 8)
        return false;
    const std::size_t checked = bytes.size() - 8;
    if (XXH3_64bits(bytes.data(), checked) != number_at(bytes.data() + checked, 8))
        return false;
    bytes = bytes.substr(0, checked);
    const std::size_t trailer = bytes.size() - end - 8;
    const std::uint64_t count = number_at(bytes.data() + trailer + end, 8);
    if (bytes.substr(trailer, end) != kEnd || count > (trailer - first) / (kEntryBytes + 1))
        return false;
    entries.reserve(static_cast<std::size_t>(count));
    std::string_view body = bytes.substr(0, trailer);
    for (std::size_t at = first; at < trailer;) {
        RecordEntry entry;
        if (!entry_at(body, at, with_extra, entry) ||
            (!entries.empty() && compare_names(entries.back().name, entry.name) >= 0)) {
            entries.clear();
            return false;
        }
        entries.push_back(entry);
    }
    if (entries.size() != count) {
        entries.clear();
        return false;
    }
    return true;
}

std::string record_bytes(const std::vector<RecordEntry>& entries, bool with_extra)
{
    std::string text = with_extra ? kFactsFirstLine : kFirstLine;
    for (const RecordEntry& e : entries) {
        text += static_cast<char>(e.made ? 1 : 0);
        append_number(text, e.size, 8);
        append_number(text, static_cast<std::uint64_t>(e.modified), 8);
        append_number(text, e.modified_nanoseconds, 4);
        append_number(text, e.stamp, 8);
        append_number(text, e.content, 8);
        append_number(text, e.head, 8);
        append_number(text, e.width, 4);
        append_number(text, e.height, 4);
        append_number(text, e.name.size(), 4);
        text += e.name;
        if (with_extra) {
            append_number(text, e.extra.size(), 4);
            text += e.extra;
        }
    }
    text += kEnd;
    append_number(text, entries.size(), 8);
    append_number(text, XXH3_64bits(text.data(), text.size()), 8);
    return text;
}

std::uint64_t content_hash(const std::string& bytes)
{
    return XXH3_64bits(bytes.data(), bytes.size());
}

std::uint64_t head_hash(const std::string& bytes)
{
    return XXH3_64bits(bytes.data(), bytes.size() < kHeadBytes ? bytes.size() : kHeadBytes);
}

RecordEntry entry_for(const ImageFile& image, std::uint64_t content, std::uint64_t head)
{
    RecordEntry entry;
    entry.name = image.name;
    entry.size = image.size;
    entry.modified = image.modified;
    entry.modified_nanoseconds = image.modified_nanoseconds;
    entry.stamp = image.stamp;
    entry.content = content;
    entry.head = head;
    return entry;
}

Standing standing_of(const RecordEntry& entry, const ImageFile& image, std::int64_t record_written)
{
    if (entry.size != image.size)
        return Standing::changed;
    // Racily clean: last written within a tick of the record, so perhaps
    // after it. A picture dated further ahead (a camera's clock a year
    // out) was not written then: any write since would have moved its time.
    const bool racy = image.modified > record_written - kCoarsestTickSeconds &&
                      image.modified <= record_written + kCoarsestTickSeconds;
    if (entry.modified != image.modified || entry.modified_nanoseconds != image.modified_nanoseconds ||
        entry.stamp != image.stamp || racy)
        return Standing::maybe;
    return Standing::unchanged;
}

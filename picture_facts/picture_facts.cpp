// Facts as bytes: a version byte, the time taken in fixed widths, then
// each text with its length in front.
#include "picture_facts/picture_facts.h"

#include <cstring>

namespace {

// 2: a time may be a date alone, and times are read as exiftool reads them.
// 3: the rating.
constexpr char kVersion = 3;
// No text the reader keeps is longer (caption_text.h cuts them shorter).
constexpr std::uint32_t kMostTextBytes = 1u << 16;

void append_number(std::string& out, std::uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i, value >>= 8)
        out += static_cast<char>(value & 0xFF);
}

bool take_number(std::string_view& bytes, int width, std::uint64_t& value)
{
    if (bytes.size() < static_cast<std::size_t>(width))
        return false;
    value = 0;
    for (int i = width - 1; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)]);
    bytes.remove_prefix(static_cast<std::size_t>(width));
    return true;
}

bool take_text(std::string_view& bytes, std::string& text)
{
    std::uint64_t length = 0;
    if (!take_number(bytes, 4, length) || length > kMostTextBytes || length > bytes.size())
        return false;
    text.assign(bytes.data(), static_cast<std::size_t>(length));
    bytes.remove_prefix(static_cast<std::size_t>(length));
    return true;
}

int days_in_month(int year, int month)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

}  // namespace

int compare_wall_times(const WallTime& a, const WallTime& b)
{
    const long long fields_a[] = {a.year, a.month, a.day, a.hour, a.minute, a.second, a.nanoseconds};
    const long long fields_b[] = {b.year, b.month, b.day, b.hour, b.minute, b.second, b.nanoseconds};
    for (int i = 0; i < 7; ++i)
        if (fields_a[i] != fields_b[i])
            return fields_a[i] < fields_b[i] ? -1 : 1;
    return 0;
}

bool is_sound_wall_time(const WallTime& t)
{
    return t.year >= 1 && t.year <= 9999 && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
           t.day <= days_in_month(t.year, t.month) && t.hour >= 0 && t.hour <= 23 && t.minute >= 0 &&
           t.minute <= 59 && t.second >= 0 && t.second <= 59 && t.nanoseconds <= 999999999u;
}

bool read_wall_time(const std::string& text, const std::string& sub_seconds, WallTime& time)
{
    time = WallTime();
    std::size_t at = 0;
    auto is_digit = [&text](std::size_t i) { return i < text.size() && text[i] >= '0' && text[i] <= '9'; };
    auto take = [&](int width, int& value) {
        value = 0;
        for (int d = 0; d < width; ++d, ++at) {
            if (!is_digit(at))
                return false;
            value = value * 10 + (text[at] - '0');
        }
        return true;
    };
    // A separator of the kinds given, then a two-digit field.
    auto then = [&](const char* separators, int& value) {
        if (at >= text.size() || !is_digit(at + 1) || !std::strchr(separators, text[at]) || text[at] == '\0')
            return false;
        ++at;
        return take(2, value);
    };
    static const char kDate[] = " !\"#$%&'()*+,-./:;<=>?@_|~";
    if (!take(4, time.year) || !then(kDate, time.month) || !then(kDate, time.day))
        return false;
    if (!then(" Tt:", time.hour)) {
        // A date alone, perhaps padded.
        const bool alone = text.find_first_not_of(std::string(" \0", 2), at) == std::string::npos;
        time.date_only = alone;
        time.known = alone && is_sound_wall_time(time);
        return time.known;
    }
    if (!then(":", time.minute))
        return false;
    then(":", time.second);
    std::string digits = sub_seconds;
    if (digits.empty() && at < text.size() && text[at] == '.')
        digits = text.substr(at + 1);
    std::size_t places = 0;
    for (; places < digits.size() && digits[places] >= '0' && digits[places] <= '9'; ++places)
        if (places < 9)
            time.nanoseconds = time.nanoseconds * 10 + static_cast<std::uint32_t>(digits[places] - '0');
    for (; places < 9; ++places)
        time.nanoseconds *= 10;
    time.known = is_sound_wall_time(time);
    return time.known;
}

std::uint64_t page_bytes_of(const PictureFacts& facts)
{
    // Title and caption stand in the section and in two alt texts.
    return 6 * (3 * (facts.title.size() + facts.caption.size()) + facts.camera.size()) + 256;
}

int rating_of_text(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    if (text.empty() || text[0] < '1' || text[0] > '5')
        return 0;
    // Whole stars only: "4.0" is 4, "4.5" no rating that a tool writes.
    for (std::size_t i = 1; i < text.size(); ++i)
        if (!(i == 1 && text[i] == '.') && text[i] != '0')
            return 0;
    return text[0] - '0';
}

std::string facts_bytes(const PictureFacts& facts)
{
    std::string out(1, kVersion);
    const WallTime& t = facts.taken;
    out += static_cast<char>(!t.known ? 0 : t.date_only ? 2 : 1);
    append_number(out, static_cast<std::uint64_t>(t.year), 2);
    for (int field : {t.month, t.day, t.hour, t.minute, t.second})
        append_number(out, static_cast<std::uint64_t>(field), 1);
    append_number(out, t.nanoseconds, 4);
    for (const std::string* text : {&facts.title, &facts.caption, &facts.camera}) {
        append_number(out, text->size(), 4);
        out += *text;
    }
    append_number(out, static_cast<std::uint64_t>(facts.rating), 1);
    return out;
}

bool read_facts(std::string_view bytes, PictureFacts& facts)
{
    facts = PictureFacts();
    std::uint64_t version = 0, known = 0, year = 0, nanoseconds = 0, rating = 0;
    std::uint64_t fields[5] = {};
    bool read = take_number(bytes, 1, version) && version == kVersion && take_number(bytes, 1, known) &&
                known <= 2 && take_number(bytes, 2, year);
    for (std::uint64_t& field : fields)
        read = read && take_number(bytes, 1, field);
    read = read && take_number(bytes, 4, nanoseconds) && take_text(bytes, facts.title) &&
           take_text(bytes, facts.caption) && take_text(bytes, facts.camera) && take_number(bytes, 1, rating) &&
           rating <= 5 && bytes.empty();
    facts.rating = static_cast<int>(rating);
    WallTime& t = facts.taken;
    t.known = known != 0;
    t.date_only = known == 2;
    t.year = static_cast<int>(year);
    t.month = static_cast<int>(fields[0]);
    t.day = static_cast<int>(fields[1]);
    t.hour = static_cast<int>(fields[2]);
    t.minute = static_cast<int>(fields[3]);
    t.second = static_cast<int>(fields[4]);
    t.nanoseconds = static_cast<std::uint32_t>(nanoseconds);
    if (!read || (t.known && !is_sound_wall_time(t))) {
        facts = PictureFacts();
        return false;
    }
    return true;
}

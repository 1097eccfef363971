// What a picture says of itself (CAPTIONS, TAKEN, CAMERA, BYDATE): its
// title and caption, when it was taken, and the camera, as the gallery
// shows them; and these facts as bytes, for the record that keeps them
// between runs.
#ifndef KORVEL_PICTURE_FACTS_PICTURE_FACTS_H
#define KORVEL_PICTURE_FACTS_PICTURE_FACTS_H

#include <cstdint>
#include <string>
#include <string_view>

// A time as a clock showed it where the picture was taken: no time zone.
struct WallTime {
    bool known = false;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    std::uint32_t nanoseconds = 0;  // the sub-seconds the camera wrote
    bool date_only = false;         // a day without its time of day: shown as a date, ordered as its start
};

// Each text is UTF-8, without controls, cut to a bounded length; empty
// where the picture says nothing of it.
struct PictureFacts {
    std::string title;
    std::string caption;
    WallTime taken;
    std::string camera;  // "model, lens, 1/250 s, f/2.8, ISO 100, 50 mm", each where known
    int rating = 0;      // the photographer's stars (XMP's xmp:Rating), 1 to 5; 0: none, or rejected
};

// -1, 0 or 1 as a is earlier than, the same as, or later than b.
int compare_wall_times(const WallTime& a, const WallTime& b);

// True for a time that a calendar and a clock can show: a year from 1 to
// 9999, a month's own days, 00:00:00 to 23:59:59.
bool is_sound_wall_time(const WallTime& time);

// Reads a time as "2023:07:14 18:05:59", "2023-07-14T18:05:59.25+02:00",
// "2021-03-04T05:06" (to the minute, as XMP allows) and the like: digits
// where the time has them, one separator between the date's, a blank, 'T'
// or ':' before the time of day, ':' within it, a zone after it ignored.
// "2004-05-06" alone is a date without its time (date_only). The
// sub-seconds come after a '.' or apart (EXIF's own tag), as far as they
// are digits: "5x" is .5, "-5" none (as exiftool reads them). Fails, time
// not known, for a time that is not sound.
bool read_wall_time(const std::string& text, const std::string& sub_seconds, WallTime& time);

// The most bytes the facts may take in a page: each text escaped (at most
// six bytes for each of its own) in each place it stands, with its markup.
std::uint64_t page_bytes_of(const PictureFacts& facts);

// The stars of an xmp:Rating text ("4", "4.0"): 1 to 5, else 0 (none,
// "0", a rejected picture's "-1", or anything else).
int rating_of_text(std::string_view text);

// The facts as bytes, and back. read_facts fails, leaving facts empty, on
// bytes that are not whole facts of facts_bytes' making.
std::string facts_bytes(const PictureFacts& facts);
bool read_facts(std::string_view bytes, PictureFacts& facts);

#endif

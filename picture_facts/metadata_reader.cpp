// libexiv2 reads the blocks; korvel chooses among them and shapes them
// for the page. The library's messages are muted and its exceptions are a
// picture that cannot be read.
#include "picture_facts/metadata_reader.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <string>

#include <exiv2/exiv2.hpp>

#include "picture_facts/caption_text.h"
#include "picture_facts/iptc_digest.h"
#include "text/text_helpers.h"

namespace {

std::mutex xmp_toolkit;

void lock_xmp_toolkit(void*, bool lock)
{
    if (lock)
        xmp_toolkit.lock();
    else
        xmp_toolkit.unlock();
}

// A text as UTF-8: UTF-8 where it is, windows-1252 where it is not.
std::string as_utf8(const std::string& bytes)
{
    return is_utf8(bytes) ? bytes : windows_1252_to_utf8(bytes);
}

std::string exif_text(const Exiv2::ExifData& exif, const char* key)
{
    auto found = exif.findKey(Exiv2::ExifKey(key));
    if (found == exif.end() || found->count() == 0)
        return std::string();
    std::string text = found->toString();
    return clean_text(as_utf8(text.substr(0, text.find('\0'))));
}

// An XMP language alternative's default text (or its only one), or a
// plain text.
std::string xmp_text(const Exiv2::XmpData& xmp, const char* key)
{
    auto found = xmp.findKey(Exiv2::XmpKey(key));
    if (found == xmp.end())
        return std::string();
    if (found->typeId() == Exiv2::langAlt) {
        const auto& alternatives = dynamic_cast<const Exiv2::LangAltValue&>(found->value()).value_;
        auto chosen = alternatives.find("x-default");
        if (chosen == alternatives.end())
            chosen = alternatives.begin();
        return chosen == alternatives.end() ? std::string() : clean_text(chosen->second);
    }
    return clean_text(found->toString());
}

// An IPTC text, in UTF-8 when the block declares it (ESC % G), else as
// pictures mostly hold it.
std::string iptc_text(const Exiv2::IptcData& iptc, const char* key, bool declared_utf8)
{
    auto found = iptc.findKey(Exiv2::IptcKey(key));
    if (found == iptc.end())
        return std::string();
    const std::string bytes = found->toString();
    return clean_text(declared_utf8 ? bytes : as_utf8(bytes));
}

// The photo's tag (Exif.Photo.name), or where some cameras and programs
// put it, in the image's own directory (Exif.Image.name).
Exiv2::ExifData::const_iterator photo_tag(const Exiv2::ExifData& exif, const char* name)
{
    auto found = exif.findKey(Exiv2::ExifKey(std::string("Exif.Photo.") + name));
    if (found != exif.end())
        return found;
    try {
        return exif.findKey(Exiv2::ExifKey(std::string("Exif.Image.") + name));
    } catch (...) {
        return exif.end();  // a tag the library knows only in the photo's directory
    }
}

bool number_of(const Exiv2::ExifData& exif, const char* name, double& value)
{
    auto found = photo_tag(exif, name);
    if (found == exif.end() || found->count() == 0)
        return false;
    const Exiv2::Rational r = found->toRational(0);
    if (r.second == 0 || r.first <= 0 || r.second < 0)
        return false;
    value = static_cast<double>(r.first) / r.second;
    return true;
}

std::string formatted(const char* format, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string first_word(const std::string& text)
{
    return text.substr(0, text.find(' '));
}

bool starts_with_ignoring_case(const std::string& text, const std::string& start)
{
    if (start.empty() || text.size() < start.size())
        return false;
    for (std::size_t i = 0; i < start.size(); ++i)
        if (upper_ascii(text[i]) != upper_ascii(start[i]))
            return false;
    return true;
}

// The camera line, as exiftool prints each value: the model (with its
// maker's name once), the lens, 1/250 s, f/2.8, ISO 100, 50.0 mm.
std::string camera_of(const Exiv2::ExifData& exif, const std::string& make, const std::string& model)
{
    std::string line;
    auto add = [&line](const std::string& part) {
        if (!part.empty())
            line += (line.empty() ? "" : ", ") + part;
    };
    const std::string maker = first_word(make);
    add(model.empty() || maker.empty() || starts_with_ignoring_case(model, maker) ? model.empty() ? make : model
                                                                                  : maker + " " + model);
    add(exif_text(exif, "Exif.Photo.LensModel"));
    double value = 0;
    if (number_of(exif, "ExposureTime", value)) {
        std::string shown =
            value < 0.25001
                ? "1/" + formatted("%.0f", static_cast<double>(static_cast<long long>(0.5 + 1 / value)))
                : formatted("%.1f", value);
        if (shown.size() > 2 && shown.compare(shown.size() - 2, 2, ".0") == 0)
            shown.resize(shown.size() - 2);
        add(shown + " s");
    }
    if (number_of(exif, "FNumber", value))
        add("f/" + formatted(value < 1 ? "%.2f" : "%.1f", value));
    auto iso = photo_tag(exif, "ISOSpeedRatings");
    if (iso != exif.end() && iso->count() > 0 && iso->toLong(0) > 0)
        add("ISO " + std::to_string(iso->toLong(0)));
    if (number_of(exif, "FocalLength", value))
        add(formatted("%.1f mm", value));
    return clean_text(line);
}

// The first known of times; where that is a date alone, a later one of
// the same date with its time of day.
WallTime first_sound_time(const WallTime* times, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        if (!times[i].known)
            continue;
        for (std::size_t later = i + 1; times[i].date_only && later < count; ++later) {
            const WallTime& t = times[later];
            if (t.known && !t.date_only && t.year == times[i].year && t.month == times[i].month &&
                t.day == times[i].day)
                return t;
        }
        return times[i];
    }
    return WallTime();
}

void read_facts_from(const Exiv2::Image& image, bool xmp_is_current, PictureFacts& facts)
{
    const Exiv2::ExifData& exif = image.exifData();
    const Exiv2::IptcData& iptc = image.iptcData();
    const Exiv2::XmpData& xmp = image.xmpData();
    const std::string make = exif_text(exif, "Exif.Image.Make");
    const std::string model = exif_text(exif, "Exif.Image.Model");
    auto set = iptc.findKey(Exiv2::IptcKey("Iptc.Envelope.CharacterSet"));
    const bool iptc_utf8 = set != iptc.end() && set->toString() == "\x1b%G";

    // The description: EXIF's unless blank; then XMP's, unless the IPTC
    // block's digest says a program changed the block since the XMP was
    // written; a filler is none.
    const std::string iptc_caption = iptc_text(iptc, "Iptc.Application2.Caption", iptc_utf8);
    const std::string xmp_caption = xmp_text(xmp, "Xmp.dc.description");
    const bool xmp_first = xmp_is_current || iptc_caption.empty();
    std::string caption = exif_text(exif, "Exif.Image.ImageDescription");
    for (const std::string* next :
         {xmp_first ? &xmp_caption : &iptc_caption, xmp_first ? &iptc_caption : &xmp_caption})
        if (is_filler_caption(caption, make, model))
            caption = *next;
    if (!is_filler_caption(caption, make, model))
        facts.caption = caption;
    const std::string iptc_title = iptc_text(iptc, "Iptc.Application2.ObjectName", iptc_utf8);
    const std::string xmp_title = xmp_text(xmp, "Xmp.dc.title");
    facts.title = (xmp_is_current || iptc_title.empty()) && !xmp_title.empty() ? xmp_title : iptc_title;
    if (is_filler_caption(facts.title, make, model) || facts.title == facts.caption)
        facts.title.clear();

    // The time taken: the first sound one of EXIF's, XMP's and IPTC's
    // (IPTC's before XMP's where its digest is stale), as exiftool's MWG
    // reading takes it.
    auto original = photo_tag(exif, "DateTimeOriginal");
    auto sub = photo_tag(exif, "SubSecTimeOriginal");
    auto created = xmp.findKey(Exiv2::XmpKey("Xmp.photoshop.DateCreated"));
    auto date = iptc.findKey(Exiv2::IptcKey("Iptc.Application2.DateCreated"));
    auto time = iptc.findKey(Exiv2::IptcKey("Iptc.Application2.TimeCreated"));
    WallTime times[3];
    if (original != exif.end())
        read_wall_time(original->toString(), sub != exif.end() ? sub->toString() : std::string(), times[0]);
    const bool xmp_time_first = xmp_is_current || date == iptc.end();
    if (created != xmp.end())
        read_wall_time(created->toString(), std::string(), times[xmp_time_first ? 1 : 2]);
    if (date != iptc.end())
        read_wall_time(date->toString() + (time != iptc.end() ? " " + time->toString() : std::string()),
                       std::string(), times[xmp_time_first ? 2 : 1]);
    facts.taken = first_sound_time(times, 3);

    facts.camera = camera_of(exif, make, model);
    facts.rating = rating_of_text(xmp_text(xmp, "Xmp.xmp.Rating"));
}

}  // namespace

void start_metadata_reader()
{
    // Once a run, though the folders of a tree start it at once.
    static std::once_flag started;
    std::call_once(started, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::LogMsg::setHandler(nullptr);
        Exiv2::XmpParser::initialize(lock_xmp_toolkit, nullptr);
    });
}

bool read_picture_facts(std::string_view bytes, PictureFacts& facts)
{
    facts = PictureFacts();
    const std::size_t end = metadata_bytes_of(bytes);
    if (end == 0)
        return false;
    // The metadata, closed as a picture that ends there.
    std::string head(bytes.substr(0, end < bytes.size() ? end : bytes.size()));
    head += "\xFF\xD9";
    try {
        auto image = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(head.data()),
                                               static_cast<long>(head.size()));
        if (image.get() == nullptr)
            return false;
        image->readMetadata();
        read_facts_from(*image, iptc_digest_of(head) != IptcDigest::stale, facts);
        return true;
    } catch (...) {
        facts = PictureFacts();
        return false;
    }
}

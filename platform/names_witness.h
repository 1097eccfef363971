// What tells a run that a folder of pieces holds the names it held when an
// earlier run listed it, so that the folder need not be listed again: the
// time of the folder's last change of names (a file made, removed or
// renamed in it; its change time, which no one can set), noted on the
// folder's record once a run has listed the folder and found nothing to
// change. A folder whose change time is the one noted has kept its names
// since. Where that cannot be told (Windows, a FUSE file system, a file
// system without extended attributes), nothing is noted and every run
// lists the folder.
#ifndef KORVEL_PLATFORM_NAMES_WITNESS_H
#define KORVEL_PLATFORM_NAMES_WITNESS_H

#include <cstdint>
#include <string_view>

#include "platform/web_picture_files.h"

struct NamesTime {
    std::int64_t seconds = 0;
    std::uint32_t nanoseconds = 0;
    bool known = false;
};

inline bool operator==(const NamesTime& a, const NamesTime& b)
{
    return a.known && b.known && a.seconds == b.seconds && a.nanoseconds == b.nanoseconds;
}

// The time of the open folder's last change of names; not known where it
// cannot be trusted to tell.
NamesTime names_time(const WebPictureFolder& folder);

// The time noted on the file record in the folder (a plain file of the
// running user's own); not known when none is, or it cannot be read.
NamesTime noted_names_time(const WebPictureFolder& folder, std::string_view record);

// Notes time, the folder's names time when it was listed listed_seconds
// ago, on the file record in the folder. Notes nothing, and fails, unless
// the listing came more than a coarse file system's tick after that time
// by the file system's own clock (else a change of names within the same
// tick, after the listing, would not show), or when the file system keeps
// no such notes.
bool note_names_time(const WebPictureFolder& folder, std::string_view record, const NamesTime& time,
                     double listed_seconds);

// True when the folder holds a file (of any kind, anyone's) by name, or
// when that cannot be told: for a folder whose names were not listed.
bool holds_name(const WebPictureFolder& folder, std::string_view name);

#endif

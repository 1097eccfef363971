// On Windows a folder's time of last writing is not kept alike by every
// file system (FAT's is its making), so no names time is trusted: every
// run lists the folder.
#include "platform/names_witness.h"

NamesTime names_time(const WebPictureFolder& folder)
{
    (void)folder;
    return NamesTime();
}

NamesTime noted_names_time(const WebPictureFolder& folder, std::string_view record)
{
    (void)folder;
    (void)record;
    return NamesTime();
}

bool note_names_time(const WebPictureFolder& folder, std::string_view record, const NamesTime& time,
                     double listed_seconds)
{
    (void)folder;
    (void)record;
    (void)time;
    (void)listed_seconds;
    return false;
}

bool holds_name(const WebPictureFolder& folder, std::string_view name)
{
    (void)folder;
    (void)name;
    return true;  // never asked: every folder is listed
}

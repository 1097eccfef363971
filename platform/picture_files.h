// The pictures of a folder, read to make their pieces and to
// learn what they say of themselves, from any thread, and who may read
// each: what its pieces and facts may let others read too. A picture is
// reached through the links of the running user's own (or root's) only,
// and must be a plain file; every call fails, reading nothing, otherwise.
#ifndef KORVEL_PLATFORM_PICTURE_FILES_H
#define KORVEL_PLATFORM_PICTURE_FILES_H

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/work_folder.h"

// Who besides its owner may read a picture, as far as korvel can tell:
// what its pieces may let them read too. Not known where an access list
// (POSIX: beyond the mode bits) could let others in that the bits do not
// show; on Windows every piece takes its folder's access list, as the
// page does, and this says all may.
struct PictureReaders {
    bool known = false;
    bool others = false;  // anyone, through every folder on the way to it
    bool group = false;   // the members of group_id
    unsigned group_id = 0;
};

// For a file every reader of the page may read (the record).
inline PictureReaders all_readers()
{
    PictureReaders readers;
    readers.known = readers.others = readers.group = true;
    return readers;
}

// Reads the picture name of the folder at whole into bytes, and who
// may read it. Fails when it is reached through another user's link, is no
// plain file, is larger than most bytes, or cannot be read.
bool read_picture(const WorkFolder& at, std::string_view name, std::size_t most, std::string& bytes,
                  PictureReaders& readers);

// The first most bytes of the picture name (all of it if it is shorter),
// reached as read_picture reaches it; who may read it is not looked up.
bool read_picture_start(const WorkFolder& at, std::string_view name, std::size_t most, std::string& bytes);

// The same, and who may read it, as read_picture says.
bool read_picture_head(const WorkFolder& at, std::string_view name, std::size_t most, std::string& bytes,
                       PictureReaders& readers);

#endif

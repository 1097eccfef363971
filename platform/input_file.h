// The template, read as it stands. Calling sequence: open_input_file; when
// it says opened, read_input_file until it gives 0 bytes or fails, then
// close_input_file. A file that is not a plain file is never read: a FIFO
// could block the run forever, a device never end.
#ifndef KORVEL_PLATFORM_INPUT_FILE_H
#define KORVEL_PLATFORM_INPUT_FILE_H

#include <cstddef>
#include <string>

#include "platform/platform_file.h"
#include "platform/work_folder.h"

// opened; missing: there is nothing of that name; failed: it is there but
// cannot be opened (a link that leads nowhere, or is another user's, among
// them); not_a_file: it is a folder, a device, a FIFO or a socket.
enum class OpenResult { opened, missing, failed, not_a_file };

// Opens the file name of the folder at for reading, without blocking and without reading it.
// file is set only when the result is opened.
OpenResult open_input_file(PlatformFile& file, const WorkFolder& at, const char* name);

// Reads up to capacity bytes into buffer and sets got; got is 0 at the end of
// the file. Fails (false) on a read error.
bool read_input_file(PlatformFile& file, char* buffer, std::size_t capacity, std::size_t& got);

// Reads the last most bytes of the file (all of it when it is shorter)
// into bytes, wherever reading stood; reading then stands at the file's
// end. Fails on a read error.
bool read_input_end(PlatformFile& file, std::size_t most, std::string& bytes);

// Closes a file opened by open_input_file; nothing of the file can be lost
// by then, so the result is not reported.
void close_input_file(PlatformFile& file);

#endif

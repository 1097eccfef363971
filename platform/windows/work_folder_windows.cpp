#include "platform/work_folder.h"

#include <windows.h>

#include "platform/windows/windows_files.h"

bool open_work_folder(const WorkFolder& parent, std::string_view name, WorkFolder& child)
{
    const std::string path = parent.path + std::string(name);
    const std::wstring wide_path = wide(path);
    if (is_others_link(wide_path))
        return false;
    const DWORD attributes = GetFileAttributesW(wide_path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    child.folder.handle = -1;
    child.path = path + "\\";
    return true;
}

void close_work_folder(WorkFolder& folder)
{
    folder.folder.handle = -1;
}

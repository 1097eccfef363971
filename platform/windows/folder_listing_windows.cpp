// The listing on Windows: the folder, open, is read by
// GetFileInformationByHandleEx in large blocks, which bring each entry's
// name, size, time, file id and change time in one pass, in UTF-16, turned
// into UTF-8 here.
#include "platform/folder_listing.h"

#include <windows.h>

#include <memory>
#include <string>

#include "platform/platform_shared.h"
#include "platform/windows/windows_files.h"

namespace {

constexpr DWORD kBlockBytes = 64 << 10;

// Times count 100 ns steps from 1601.
std::int64_t seconds_since_epoch(std::uint64_t ticks)
{
    return static_cast<std::int64_t>(ticks / 10000000u) - 11644473600LL;
}

// The rest of the second.
std::uint32_t nanoseconds_of(std::uint64_t ticks)
{
    return static_cast<std::uint32_t>(ticks % 10000000u) * 100u;
}

void add_entry(FolderListing& listing, const FILE_ID_BOTH_DIR_INFO& entry, std::string& name)
{
    const wchar_t* wide_name = entry.FileName;
    const std::size_t length = entry.FileNameLength / sizeof(wchar_t);
    if (wide_name[0] == L'.' && (length == 1 || (length == 2 && wide_name[1] == L'.')))
        return;
    name.clear();
    append_utf8_of_utf16(name, wide_name, length);
    const std::uint64_t written = static_cast<std::uint64_t>(entry.LastWriteTime.QuadPart);
    add_listed_file(listing, name, static_cast<std::uint64_t>(entry.EndOfFile.QuadPart),
                    seconds_since_epoch(written));
    ListedFile& file = listing.files.back();
    file.modified_nanoseconds = nanoseconds_of(written);
    file.is_folder = file.may_be_folder = (entry.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    file.stamp = mixed_into_stamp(mixed_into_stamp(0, static_cast<std::uint64_t>(entry.FileId.QuadPart)),
                                  static_cast<std::uint64_t>(entry.ChangeTime.QuadPart));
}

}  // namespace

bool read_folder(const WorkFolder& at, FolderListing& listing)
{
    const std::wstring path = at.path.empty() ? L"." : wide(at.path.substr(0, at.path.size() - 1));
    HANDLE folder =
        CreateFileW(path.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE)
        return false;
    // Aligned as the entries want, on 8 bytes.
    std::unique_ptr<LONGLONG[]> block(new LONGLONG[kBlockBytes / sizeof(LONGLONG)]);
    std::string name;
    FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;
    bool read_to_end = false;
    for (;;) {
        if (!GetFileInformationByHandleEx(folder, kind, block.get(), kBlockBytes)) {
            read_to_end = GetLastError() == ERROR_NO_MORE_FILES;
            break;
        }
        kind = FileIdBothDirectoryInfo;
        const char* at = reinterpret_cast<const char*>(block.get());
        for (;;) {
            const FILE_ID_BOTH_DIR_INFO& entry = *reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(at);
            add_entry(listing, entry, name);
            if (entry.NextEntryOffset == 0)
                break;
            at += entry.NextEntryOffset;
        }
    }
    CloseHandle(folder);
    return read_to_end;
}

bool look_up_files(const WorkFolder&, FolderListing&)
{
    return true;  // read_folder has done it
}

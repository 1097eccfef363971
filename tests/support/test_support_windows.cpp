#include "support/test_support.h"

#include <windows.h>
#include <io.h>

#include <cstdlib>
#include <ctime>
#include <stdexcept>

#include "pagewriter/image_listing.h"

// Paths are UTF-8, as in the tool; the system's own converters turn them
// into the UTF-16 of the wide functions and back.
static std::wstring wide(const std::string& utf8)
{
    int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], length);
    return out;
}

static std::string utf8(const wchar_t* text)
{
    int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], length, nullptr, nullptr);
    out.resize(out.size() - 1);  // the terminator
    return out;
}

const char* const kTestTimeZone = "CET-1CEST,M3.5.0,M10.5.0/3";
const char* const kOwnTemporaryMark = ".korvel~W";
const char* const kOtherTemporaryMark = ".korvel~P";
const int kFailureStatus = -1;

void set_time_zone(const char* tz)
{
    _putenv_s("TZ", tz);
    _tzset();
}

TempFolder::TempFolder(const std::string& leaf)
{
    wchar_t temp[MAX_PATH + 1];
    DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    if (length == 0 || length > MAX_PATH)
        throw std::runtime_error("GetTempPath failed");
    for (unsigned attempt = 0;; ++attempt) {
        root = utf8(temp) + "korvel-test-" + std::to_string(GetCurrentProcessId()) + "-" +
               std::to_string(GetTickCount() + attempt);
        if (CreateDirectoryW(wide(root).c_str(), nullptr))
            break;
        if (GetLastError() != ERROR_ALREADY_EXISTS || attempt > 100)
            throw std::runtime_error("cannot make " + root);
    }
    path = join_path(root, leaf);
    if (!CreateDirectoryW(wide(path).c_str(), nullptr))
        throw std::runtime_error("cannot make " + path);
}

static void remove_tree(const std::string& folder)
{
    WIN32_FIND_DATAW found;
    HANDLE handle = FindFirstFileW(wide(folder + "\\*").c_str(), &found);
    if (handle != INVALID_HANDLE_VALUE) {
        do {
            std::string name = utf8(found.cFileName);
            if (name == "." || name == "..")
                continue;
            std::string path = join_path(folder, name);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                remove_tree(path);
            else
                DeleteFileW(wide(path).c_str());
        } while (FindNextFileW(handle, &found));
        FindClose(handle);
    }
    RemoveDirectoryW(wide(folder).c_str());
}

TempFolder::~TempFolder()
{
    remove_tree(root);
}

std::string join_path(const std::string& folder, const std::string& name)
{
    return folder + "\\" + name;
}

bool file_exists(const std::string& path)
{
    return GetFileAttributesW(wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void make_picture(const std::string& folder, const std::string& name, std::uint64_t size, std::int64_t modified)
{
    std::string path = join_path(folder, name);
    HANDLE file = CreateFileW(wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot make " + path);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    // FILETIME counts 100 ns steps from 1601.
    ULARGE_INTEGER ticks;
    ticks.QuadPart = static_cast<ULONGLONG>(modified + 11644473600LL) * 10000000ULL;
    FILETIME when;
    when.dwLowDateTime = ticks.LowPart;
    when.dwHighDateTime = ticks.HighPart;
    bool ok = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file) &&
              SetFileTime(file, nullptr, nullptr, &when);
    CloseHandle(file);
    if (!ok)
        throw std::runtime_error("cannot size " + path);
}

void make_file(const std::string& folder, const std::string& name, const std::string& content, std::int64_t modified,
               std::uint32_t nanoseconds)
{
    write_file(join_path(folder, name), content);
    HANDLE file = CreateFileW(wide(join_path(folder, name)).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ULARGE_INTEGER ticks;
    ticks.QuadPart = static_cast<ULONGLONG>(modified + 11644473600LL) * 10000000ULL + nanoseconds / 100;
    FILETIME when;
    when.dwLowDateTime = ticks.LowPart;
    when.dwHighDateTime = ticks.HighPart;
    bool ok = file != INVALID_HANDLE_VALUE && SetFileTime(file, nullptr, nullptr, &when);
    CloseHandle(file);
    if (!ok)
        throw std::runtime_error("cannot set the time of " + name);
}

std::vector<std::string> listed_pictures(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    HANDLE handle = FindFirstFileW(wide(folder + "\\*").c_str(), &found);
    if (handle == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::string name = utf8(found.cFileName);
        if (is_picture_name(name))
            names.push_back(name);
    } while (FindNextFileW(handle, &found));
    FindClose(handle);
    return names;
}

StartedRun start_korvel(const std::string& folder, const std::vector<std::string>& args)
{
    static int runs = 0;  // runs at once each have their own output
    std::string output_path = join_path(folder, "..\\korvel-output-" + std::to_string(++runs) + ".txt");
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE output = CreateFileW(wide(output_path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (output == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot make " + output_path);

    std::string command = "\"" KORVEL_EXE "\"";
    for (const std::string& arg : args)
        command += " \"" + arg + "\"";
    SetEnvironmentVariableA("TZ", kTestTimeZone);

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output;
    startup.hStdError = output;
    PROCESS_INFORMATION process = {};
    std::wstring wide_command = wide(command);
    // Under wine, a start while many others start may fail for the moment:
    // it is tried again, as a user would.
    BOOL started = FALSE;
    DWORD error = 0;
    for (int attempt = 0; attempt < 20 && !started; ++attempt) {
        if (attempt > 0)
            Sleep(250);
        started = CreateProcessW(wide(KORVEL_EXE).c_str(), &wide_command[0], nullptr, nullptr, TRUE, 0, nullptr,
                                 wide(folder).c_str(), &startup, &process);
        error = started ? 0 : GetLastError();
    }
    CloseHandle(output);
    if (!started)
        throw std::runtime_error("cannot start " KORVEL_EXE ": error " + std::to_string(error));
    CloseHandle(process.hThread);
    return StartedRun{reinterpret_cast<std::intptr_t>(process.hProcess), output_path, folder, args};
}

StartedRun start_korvel(const std::string& folder)
{
    return start_korvel(folder, {});
}

RunResult wait_for(StartedRun& run)
{
    // Under wine, a process started while many others start may fail to
    // set itself up (STATUS_DLL_INIT_FAILED) before a line of korvel runs:
    // it is started again, as a user would.
    constexpr DWORD kNotSetUp = 0xC0000142;
    DWORD code = 0;
    for (int attempt = 0;; ++attempt) {
        HANDLE process = reinterpret_cast<HANDLE>(run.pid);
        WaitForSingleObject(process, INFINITE);
        GetExitCodeProcess(process, &code);
        CloseHandle(process);
        if (code != kNotSetUp || attempt == 5)
            break;
        DeleteFileW(wide(run.output_path).c_str());
        run = start_korvel(run.folder, run.args);
    }
    RunResult result;
    result.status = static_cast<int>(code);
    result.output = read_file(run.output_path);
    DeleteFileW(wide(run.output_path).c_str());
    return result;
}

RunResult run_korvel(const std::string& folder, const std::vector<std::string>& args)
{
    StartedRun run = start_korvel(folder, args);
    return wait_for(run);
}

std::string lock_of_folder(const std::string& folder)
{
    return join_path(folder, ".korvel-lock");
}

HeldFile::HeldFile(const std::string& path)
{
    HANDLE file = CreateFileW(wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot hold " + path);
    handle = reinterpret_cast<std::intptr_t>(file);
}

HeldFile::~HeldFile()
{
    CloseHandle(reinterpret_cast<HANDLE>(handle));
}

std::string native_line_ends(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out.push_back('\r');
        out.push_back(c);
    }
    return out;
}

NamesNote names_note(const std::string& pieces)
{
    (void)pieces;
    return NamesNote::not_kept;
}

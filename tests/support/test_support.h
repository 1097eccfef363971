// Helpers for tests that work in real folders: temporary folders, pictures
// of chosen size and time, and runs of the built korvel.
#ifndef KORVEL_TESTS_TEST_SUPPORT_H
#define KORVEL_TESTS_TEST_SUPPORT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The time zone every test runs in: Central European, with summer time, as a
// POSIX rule so that no time-zone database is needed.
extern const char* const kTestTimeZone;

// The exit status of a failed run as the caller sees it: 255 on POSIX,
// -1 on Windows.
extern const int kFailureStatus;

// What follows the page's name in the name of a temporary page of this
// system's runs (".korvel~P" on POSIX), and of the other system's.
extern const char* const kOwnTemporaryMark;
extern const char* const kOtherTemporaryMark;

// Sets TZ for this process (and the programs it starts).
void set_time_zone(const char* tz);

// A fresh folder under the system's temporary folder, removed with all it
// holds when the object goes. The folder the tool runs in is path + leaf,
// so a test chooses the folder's name.
struct TempFolder {
    explicit TempFolder(const std::string& leaf = "Gallery");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string root;  // the temporary folder itself
    std::string path;  // root + separator + leaf
};

std::string join_path(const std::string& folder, const std::string& name);

void write_file(const std::string& path, const std::string& content);
std::string read_file(const std::string& path);
bool file_exists(const std::string& path);

// The names in folder, sorted: for comparing a folder before and after.
std::vector<std::string> folder_entries(const std::string& folder);

// Whether the record of the folder of pieces notes that the folder's
// names are as a run left them: yes, no, or not known (the file system
// keeps no such notes, or the system is Windows, which lists every time).
enum class NamesNote { noted, not_noted, not_kept };
NamesNote names_note(const std::string& pieces);

// A file of size bytes (sparse where the file system allows) last written at
// modified, in seconds since the epoch.
void make_picture(const std::string& folder, const std::string& name, std::uint64_t size, std::int64_t modified);

// A file holding content, last written at modified and nanoseconds.
void make_file(const std::string& folder, const std::string& name, const std::string& content, std::int64_t modified,
               std::uint32_t nanoseconds = 0);

// A JPEG picture of width by height made by the library, in four colours
// (red, green above; blue, white below), with the colour profile icc.
std::string quarters_jpeg(unsigned width, unsigned height, const std::string& icc = "");

// The JPEG with its metadata set by libexiv2: each key
// ("Exif.Image.ImageDescription", "Iptc.Application2.Caption",
// "Xmp.dc.description" ...) to its value, read as the library reads a
// value's text ("1/250" for a rational).
using MetadataFields = std::vector<std::pair<std::string, std::string>>;
std::string with_metadata(const std::string& jpeg, const MetadataFields& fields);

// The JPEG with an IPTC caption in Photoshop's resources (APP13), and
// beside it the MD5 digest of that IPTC block, as a photo manager keeps
// it, or a digest that no longer matches (stale).
std::string with_iptc_and_digest(const std::string& jpeg, const std::string& caption, bool stale);

// A JPEG picture of one colour, with width pixels by height, made by the
// library as it is told: progressive or baseline, its colour at full
// resolution (4:4:4) or at half each way (4:2:0), the progressive one's
// first AC scan repeated repeats times more (a scan bomb), and filled with
// bytes after its end up to pad_to bytes, so that pictures of different
// colours can be of one size.
struct JpegRecipe {
    unsigned char r = 200, g = 40, b = 40;
    bool cmyk = false;  // stored as CMYK, each of the four 7
    bool progressive = false;
    bool scans_per_colour = false;  // baseline, each colour in a scan of its own (cjpeg -scans)
    bool subsampled = true;
    unsigned repeats = 0;
    std::size_t pad_to = 0;
};
std::string recipe_jpeg(unsigned width, unsigned height, const JpegRecipe& recipe);

// The same as a file, last written at modified.
void make_jpeg(const std::string& folder, const std::string& name, unsigned width, unsigned height,
               std::int64_t modified);

// The names that end in ".jpg" in any case, in the order the system lists
// the folder.
std::vector<std::string> listed_pictures(const std::string& folder);

// The names in the gallery's order, by the tests' own plain rule: compared
// with a to z as A to Z, and names equal so by their bytes.
std::vector<std::string> in_name_order(std::vector<std::string> names);

struct RunResult {
    int status = -1;     // the exit status as the shell sees it: 128 + n for signal n
    std::string output;  // all it wrote to stdout and stderr
};

// Runs the built korvel in folder with the test time zone.
RunResult run_korvel(const std::string& folder, const std::vector<std::string>& args = {});

// Holds a file as a running korvel holds its temporary page (a lock on
// POSIX, open without delete sharing on Windows), until it goes; or a
// folder of thumbnails or views, given as lock_of_folder names it, as a
// running korvel holds it.
std::string lock_of_folder(const std::string& folder);
struct HeldFile {
    explicit HeldFile(const std::string& path);
    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    std::intptr_t handle;
};

#ifndef _WIN32
// Limits for a run of korvel that is meant to fail.
struct Restrictions {
    std::uint64_t file_size_limit = 0;  // bytes a file may grow to; 0: no limit
    bool file_size_signal = false;      // a write past the limit raises SIGXFSZ, as under the shell's ulimit -f
    bool unprivileged = false;          // run as "nobody" when the tests run as root
    unsigned member_of = 0;             // with unprivileged: a group "nobody" is then a member of
    int time_limit_seconds = 0;         // killed (status 128 + 9) when it runs longer; 0: no limit
    std::string fault;                  // run korvel_faulty with this KORVEL_FAULT (fault_injection.cpp)
};

// Whether korvel_faulty is built: it is not under the sanitizers.
extern const bool kFaultsCanBeInjected;

// Runs a copy of the built korvel, kept beside folder so that an
// unprivileged user can start it, under the restrictions given.
RunResult run_korvel_restricted(const std::string& folder, const Restrictions& restrictions);
#endif

// A run of the built korvel that goes on while the test works.
struct StartedRun {
    std::intptr_t pid = -1;  // the process: its id on POSIX, its handle on Windows
    std::string output_path;
    // Windows: what it was started with, to start it again where wine could
    // not start the program at all.
    std::string folder;
    std::vector<std::string> args;
};
StartedRun start_korvel(const std::string& folder);
RunResult wait_for(StartedRun& run);
#ifndef _WIN32
StartedRun start_korvel_restricted(const std::string& folder, const Restrictions& restrictions);
#endif

// The text with its line ends as the platform's text files store them:
// unchanged on POSIX, CR LF on Windows.
std::string native_line_ends(const std::string& text);

#endif

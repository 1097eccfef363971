// The record holds each picture's facts as bytes, beside what tells
// whether the picture is still the one they were read from (as the
// thumbnails' records do); the pictures it does not hold are read on every
// core, their first blocks only.
#include "picture_facts/facts_phase.h"

#include <algorithm>
#include <atomic>
#include <thread>

#include "picture_facts/metadata_reader.h"
#include "platform/helper_threads.h"

namespace {

// Most pictures' metadata fits in this much of their start.
constexpr std::size_t kFirstRead = 128u << 10;
// Few threads read a picture's metadata: a hostile one may take
// kMostMetadataBytes and the library's work on it several times that,
// and the run's memory stays bounded whatever the number of cores.
constexpr unsigned kMostThreads = 4;
// Threads that only read a few kilobytes of each picture, on a share
// where each read waits on the network.
constexpr unsigned kMostHeadReaders = 64;

struct Wanted {
    std::size_t image = 0;
    const RecordEntry* expected = nullptr;  // head_only: the entry that holds if the head does
    bool head_only = false;
};

struct Looked {
    bool read = false;  // false: nothing known, nothing kept
    bool held = false;  // its head held: the entry is as it was
    RecordEntry entry;  // made: its facts can be shown
    std::string extra;
    PictureFacts facts;
};

void look_at(const WorkFolder& at, const ImageFile& image, const Wanted& wanted, Looked& looked)
{
    std::string bytes;
    PictureReaders readers;
    // Where no change time tells a copy with its time kept from the
    // picture, its first bytes do; nor does it tell a picture made
    // private since, whose readers are looked up.
    // Facts kept in an older form are read again.
    if (wanted.head_only && read_picture_head(at, image.name, kHeadBytes, bytes, readers) &&
        head_hash(bytes) == wanted.expected->head && readers.known && (readers.others || !wanted.expected->made) &&
        (!wanted.expected->made || read_facts(wanted.expected->extra, looked.facts))) {
        looked.entry = *wanted.expected;
        looked.extra = std::string(wanted.expected->extra);
        looked.read = looked.held = true;
        return;
    }
    looked.facts = PictureFacts();
    std::size_t asked = kFirstRead;
    if (!read_picture_head(at, image.name, asked, bytes, readers))
        return;
    // Metadata that goes on past what was read is read further, through
    // any number of blocks, up to the bound.
    std::size_t end = metadata_bytes_of(bytes);
    while (bytes.size() == asked && end + 4 > bytes.size() && asked < kMostMetadataBytes) {
        asked = std::min(kMostMetadataBytes, std::max(2 * asked, end + kFirstRead));
        if (!read_picture_head(at, image.name, asked, bytes, readers))
            return;
        end = metadata_bytes_of(bytes);
    }
    // Who may read it not known: not shown, and looked at again.
    if (!readers.known)
        return;
    end = std::min(end, bytes.size());
    looked.read = true;
    looked.entry = entry_for(image, content_hash(bytes.substr(0, end)), head_hash(bytes));
    looked.entry.made = readers.others && read_picture_facts(bytes, looked.facts);
    if (looked.entry.made)
        looked.extra = facts_bytes(looked.facts);
    else
        looked.facts = PictureFacts();
}

struct Shared {
    const WorkFolder* at = nullptr;
    const ImageList* images = nullptr;
    const std::vector<Wanted>* wanted = nullptr;
    std::vector<Looked>* looked = nullptr;
    std::atomic<std::size_t> next{0};
};

void look_at_some(Shared& shared)
{
    for (;;) {
        const std::size_t i = shared.next.fetch_add(1, std::memory_order_relaxed);
        if (i >= shared.wanted->size())
            return;
        const Wanted& wanted = (*shared.wanted)[i];
        try {
            look_at(*shared.at, shared.images->files[wanted.image], wanted, (*shared.looked)[i]);
        } catch (...) {
            (*shared.looked)[i] = Looked();  // no memory: nothing known
        }
    }
}

void look_at_all(const WorkFolder& at, const ImageList& images, const std::vector<Wanted>& wanted,
                 std::vector<Looked>& looked)
{
    looked.assign(wanted.size(), Looked());
    Shared shared;
    shared.at = &at;
    shared.images = &images;
    shared.wanted = &wanted;
    shared.looked = &looked;
    std::vector<std::thread> helpers;
    unsigned cores = std::max(1u, std::min(std::thread::hardware_concurrency(), kMostThreads));
    if (std::all_of(wanted.begin(), wanted.end(), [](const Wanted& w) { return w.head_only; }))
        cores = kMostHeadReaders;
    begin_helper_starts();
    for (unsigned i = 1; i < cores && i < wanted.size(); ++i) {
        try {
            helpers.emplace_back(look_at_some, std::ref(shared));
        } catch (...) {
            break;  // fewer threads do the same work
        }
    }
    end_helper_starts();
    look_at_some(shared);
    for (std::thread& helper : helpers)
        helper.join();
}

bool open_facts_folder(const WorkFolder& at, FactsWork& work, std::int64_t& record_written)
{
    if (!open_web_picture_folder(work.folder, at, kFactsFolder))
        return false;
    work.in_use = true;
    // What killed runs left.
    FolderListing listed;
    if (list_web_picture_folder(work.folder, listed)) {
        std::vector<std::string_view> names;
        for (const ListedFile& file : listed.files)
            names.push_back(file.name);
        remove_abandoned_web_pictures(work.folder, names);
    }
    record_written = INT64_MIN;
    if (!read_web_picture_whole(work.folder, kRecordName, kRecordMostBytes, work.old_record, record_written) ||
        !read_record(work.old_record, work.old, true)) {
        work.old.clear();
        record_written = INT64_MIN;
    }
    return true;
}

}  // namespace

std::vector<PictureFacts> read_picture_facts_of(const WorkFolder& at, const ImageList& images, FactsWork& work)
{
    std::vector<PictureFacts> facts(images.files.size());
    std::int64_t record_written = INT64_MIN;
    if (!open_facts_folder(at, work, record_written))
        return facts;
    const bool change_times = keeps_change_times(work.folder);
    work.entries.assign(images.files.size(), RecordEntry());
    std::vector<Wanted> wanted;
    auto entry = work.old.cbegin();
    for (std::size_t i = 0; i < images.files.size(); ++i) {
        const ImageFile& image = images.files[i];
        while (entry != work.old.cend() && compare_names(entry->name, image.name) < 0)
            ++entry;
        const RecordEntry* e = entry != work.old.cend() && entry->name == image.name ? &*entry : nullptr;
        const bool unchanged = e && standing_of(*e, image, record_written) == Standing::unchanged;
        const bool head_only = unchanged && !change_times && image.change_time_is_write_time;
        if (unchanged && !head_only && (!e->made || read_facts(e->extra, facts[i]))) {
            work.entries[i] = *e;
            continue;
        }
        Wanted w;
        w.image = i;
        w.expected = head_only ? e : nullptr;
        w.head_only = head_only;
        wanted.push_back(w);
    }
    if (wanted.empty())
        return facts;
    start_metadata_reader();
    std::vector<Looked> looked;
    look_at_all(at, images, wanted, looked);
    work.extras.resize(images.files.size());
    for (std::size_t k = 0; k < wanted.size(); ++k) {
        const std::size_t i = wanted[k].image;
        if (!looked[k].read)
            continue;
        // A picture read anew is written anew, so that the record's time
        // moves past its.
        work.changed = work.changed || !looked[k].held;
        facts[i] = std::move(looked[k].facts);
        work.extras[i] = std::move(looked[k].extra);
        work.entries[i] = looked[k].entry;
        work.entries[i].extra = work.extras[i];
    }
    return facts;
}

void finish_picture_facts(const ImageList& images, FactsWork& work)
{
    if (!work.in_use)
        return;
    std::vector<RecordEntry> entries;
    entries.reserve(work.entries.size());
    for (std::size_t i = 0; i < work.entries.size(); ++i) {
        if (work.entries[i].name.empty())
            continue;
        entries.push_back(work.entries[i]);
        entries.back().name = images.files[i].name;
    }
    if (work.changed || entries.size() != work.old.size())
        write_web_picture(work.folder, kRecordName, record_bytes(entries, true), kTimeOfWriting, all_readers());
    close_web_picture_folder(work.folder);
    work.in_use = false;
}

void remove_picture_facts(const WorkFolder& at)
{
    WebPictureFolder folder;
    if (!holds_folder(at, kFactsFolder) || !open_web_picture_folder(folder, at, kFactsFolder))
        return;
    FolderListing listed;
    if (list_web_picture_folder(folder, listed)) {
        std::vector<std::string_view> names;
        for (const ListedFile& file : listed.files)
            names.push_back(file.name);
        remove_abandoned_web_pictures(folder, names);
    }
    if (is_own_web_picture(folder, kRecordName))
        remove_web_picture(folder, kRecordName);
    close_web_picture_folder(folder);
    remove_own_empty_folder(at, kFactsFolder);
}

#include "run/album_run.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "albums/album_cell.h"
#include "albums/album_folders.h"
#include "pagewriter/page_frame.h"
#include "platform/current_folder.h"
#include "platform/helper_threads.h"
#include "platform/input_file.h"
#include "platform/page_file.h"
#include "platform/signal_cleanup.h"
#include "picture_facts/facts_phase.h"
#include "run/folder_page.h"
#include "web_pictures/web_picture_phase.h"

namespace {

// Threads that make the folders of a tree: each lists a folder, or makes
// its page, at a time; a folder's own pictures are made on every core.
constexpr unsigned kMostFolderThreads = 8;

// A folder of the tree, from its listing by its parent until its page is
// made.
struct Album {
    Album* parent = nullptr;
    std::string name;
    std::string path;      // from the top folder: "" for the top, else its folders' names, separated
    std::string identity;  // as its parent's listing found it
    std::vector<std::unique_ptr<Album>> albums;  // its folders that may be albums, in name order
    std::size_t waiting = 0;                     // of those, the ones not yet made (under the tree's lock)
    bool is_album = false;                       // its page is there, and cell is its
    bool has_template = false;                   // its listing held a template
    AlbumCell cell;
};

struct Task {
    Album* album = nullptr;
    bool make = false;  // make its page; else list it
};

struct Tree {
    WorkFolder top;
    MemoryBudget budget;
    std::mutex lock;
    std::condition_variable changed;
    std::deque<Task> tasks;
    std::set<std::string> reached;  // the folders' identities: each is made once, and a loop of links ends
    bool top_ready = false;         // every album of the top's is made
    std::atomic<bool> failed{false};
};

// How much of a page's end tells whose it is.
constexpr std::size_t kPageEndBytes = 4096;

// True when the folder holds a page korvel did not make, or one whose end
// it cannot read to tell: that page is the user's own, and stays as it
// is. (Something there that is no page, or cannot be opened, is for
// making the page to fail on.)
bool holds_users_page(const WorkFolder& at)
{
    PlatformFile file;
    if (open_input_file(file, at, kPageName) != OpenResult::opened)
        return false;
    std::string end;
    const bool read = read_input_end(file, kPageEndBytes, end);
    close_input_file(file);
    return !read || !ends_with_credit_footer(end);
}

// A folder with no picture below it is no album: a page korvel made there
// for one goes, when it is the running user's own, with its thumbnails,
// views and facts. A page of the user's own stays, and all beside it.
void remove_album_made_before(const WorkFolder& at)
{
    PlatformFile file;
    if (open_input_file(file, at, kPageName) == OpenResult::opened) {
        std::string end;
        const bool korvels = read_input_end(file, kPageEndBytes, end) && ends_with_credit_footer(end);
        close_input_file(file);
        if (!korvels || !remove_own_file(at, kPageName))
            return;
    }
    remove_all_web_pictures(at);
    remove_picture_facts(at);
}

bool page_is_there(const WorkFolder& at)
{
    PlatformFile file;
    if (open_input_file(file, at, kPageName) != OpenResult::opened)
        return false;
    close_input_file(file);
    return true;
}

// Opens the album's folder: the top as it is, another by its path from the
// top, when it is still the folder its parent's listing found.
bool open_album(const Tree& tree, const Album& album, WorkFolder& at)
{
    if (!album.parent) {
        at = tree.top;
        return true;
    }
    if (!open_work_folder(tree.top, album.path, at))
        return false;
    if (at.identity == album.identity)
        return true;
    close_work_folder(at);
    return false;
}

void close_album(const Album& album, WorkFolder& at)
{
    if (album.parent)
        close_work_folder(at);
}

// The album is done with: its parent's page may be made once its last
// album is.
void finish(Tree& tree, Album& album)
{
    std::lock_guard<std::mutex> hold(tree.lock);
    Album* parent = album.parent;
    if (parent && --parent->waiting == 0) {
        if (parent->parent)
            tree.tasks.push_back(Task{parent, true});
        else
            tree.top_ready = true;
    }
    tree.changed.notify_all();
}

// Lists the album's folders that may be albums, and hands them on to be
// listed in turn; one without any is made at once.
void list_album(Tree& tree, Album& album)
{
    WorkFolder at;
    FolderListing listing;
    if (!open_album(tree, album, at))
        return finish(tree, album);
    const bool listed = read_folder(at, listing);
    if (!listed)
        tree.failed = true;
    std::vector<std::string> names;
    for (const ListedFile& file : listing.files)
        album.has_template = album.has_template || file.name == kTemplateName;
    // A folder holding ".nomedia" is no album, nor anything below it.
    if (listed && (!album.parent || !holds_nomedia(listing)))
        for (const ListedFile& file : listing.files)
            if (file.may_be_folder && may_be_album(file.name))
                names.emplace_back(file.name);
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return compare_names(a, b) < 0; });
    for (const std::string& name : names) {
        WorkFolder child;
        if (!open_work_folder(at, name, child))
            continue;  // no folder, another user's, or reached through another user's link
        std::unique_ptr<Album> next(new Album);
        next->parent = &album;
        next->name = name;
        next->path = album.path.empty() ? name : album.path + kPathSeparator + name;
        next->identity = child.identity;
        close_work_folder(child);
        std::lock_guard<std::mutex> hold(tree.lock);
        if (tree.reached.insert(next->identity).second)
            album.albums.push_back(std::move(next));
    }
    close_album(album, at);
    if (!listed || (album.parent && holds_nomedia(listing)))
        return finish(tree, album);
    std::lock_guard<std::mutex> hold(tree.lock);
    album.waiting = album.albums.size();
    for (const std::unique_ptr<Album>& next : album.albums)
        tree.tasks.push_back(Task{next.get(), false});
    if (album.albums.empty() && album.parent)
        tree.tasks.push_back(Task{&album, true});
    if (album.albums.empty() && !album.parent)
        tree.top_ready = true;
    tree.changed.notify_all();
}

// The cell of an album whose page korvel did not write this run: its
// pictures as a page without options shows them.
AlbumCell plain_cell_of(const std::string& name, const ImageList& pictures, std::vector<AlbumCell>& albums)
{
    const PageOptions plain;
    put_in_album_order(albums, plain);
    return album_cell_of(name, plain, pictures, nullptr, albums);
}

// Makes the album's page, its albums made: true when it is an album (it,
// or a folder below it, holds a picture) and its page is there.
bool make_page_of(Tree& tree, Album& album)
{
    const bool top = !album.parent;
    WorkFolder at;
    if (!open_album(tree, album, at))
        return false;
    FolderListing pictures;
    std::vector<std::string> leftovers;
    bool listed = read_folder(at, pictures);
    if (listed) {
        leftovers = temporary_pages_in(pictures);
        listed = list_images(at, pictures);
        pictures.files.erase(std::remove_if(pictures.files.begin(), pictures.files.end(),
                                            [](const ListedFile& file) { return file.is_folder; }),
                             pictures.files.end());
    }
    std::vector<AlbumCell> albums;
    for (const std::unique_ptr<Album>& next : album.albums)
        if (next->is_album)
            albums.push_back(next->cell);
    GalleryRun run;
    bool made = false;
    if (!listed) {
        tree.failed = true;
    } else if (!top && pictures.files.empty() && albums.empty()) {
        remove_album_made_before(at);
    } else if (!top && holds_users_page(at)) {
        album.cell = plain_cell_of(album.name, pictures, albums);
        made = true;
    } else {
        run.at = at;
        run.folder_name = album.name;
        run.top = &tree.top;
        for (const Album* above = album.parent; above; above = above->parent) {
            if (above->has_template)
                run.template_paths.push_back(above->path.empty() ? kTemplateName
                                                                 : above->path + kPathSeparator + kTemplateName);
            run.trail.insert(run.trail.begin(), above->name);
        }
        run.trail.push_back(album.name);
        run.in_tree = true;
        run.albums = albums;
        run.budget = &tree.budget;
        run.page_file.ends_run = top;
        try {
            made = make_folder_page(run, pictures, leftovers);
        } catch (...) {
            // Memory ran out: this page is lost, not the others.
            abandon_page(run.page_file);
            if (top) {
                close_album(album, at);
                throw;
            }
        }
        if (made) {
            album.cell = std::move(run.cell);
        } else {
            tree.failed = true;
            // Its old page stands, if it has one.
            made = !top && page_is_there(at);
            if (made)
                album.cell = plain_cell_of(album.name, pictures, albums);
        }
    }
    close_album(album, at);
    return made;
}

void make_album(Tree& tree, Album& album)
{
    album.is_album = make_page_of(tree, album);
    album.albums.clear();  // their cells are the page's now
    finish(tree, album);
}

// A thread of the tree: takes the next folder to list or make, until the
// top's albums are all made.
void make_folders(Tree& tree)
{
    for (;;) {
        Task task;
        {
            std::unique_lock<std::mutex> hold(tree.lock);
            tree.changed.wait(hold, [&tree] { return !tree.tasks.empty() || tree.top_ready; });
            if (tree.tasks.empty())
                return;
            task = tree.tasks.front();
            tree.tasks.pop_front();
        }
        try {
            if (task.make)
                make_album(tree, *task.album);
            else
                list_album(tree, *task.album);
        } catch (...) {
            // No memory, in a thread that must not throw: this folder is
            // lost, and its parent goes on without it.
            tree.failed = true;
            task.album->is_album = false;
            finish(tree, *task.album);
        }
    }
}

}  // namespace

int make_album_tree(GalleryRun& top, const PageOptions& options)
{
    // Before the threads that make pages start: the stops' cleanup, and
    // one heap for all their pictures' memory.
    guard_held_page();
    if (is_web_page(options))
        keep_memory_for_web_pictures();
    Tree tree;
    tree.top = top.at;
    if (identify_work_folder(tree.top))
        tree.reached.insert(tree.top.identity);
    Album root;
    root.name = top.folder_name;
    list_album(tree, root);
    if (tree.failed)
        return -1;  // the top folder cannot be listed: its page stays as it was

    std::vector<std::thread> threads;
    const unsigned count = std::max(2u, std::min(std::thread::hardware_concurrency(), kMostFolderThreads));
    begin_helper_starts();
    for (unsigned i = 0; i < count && !tree.top_ready; ++i) {
        try {
            threads.emplace_back(make_folders, std::ref(tree));
        } catch (...) {
            break;
        }
    }
    end_helper_starts();
    if (threads.empty())
        make_folders(tree);  // no thread to be had: this one does the work
    {
        std::unique_lock<std::mutex> hold(tree.lock);
        tree.changed.wait(hold, [&tree] { return tree.top_ready; });
    }
    for (std::thread& thread : threads)
        thread.join();
    // The top's page last, by this thread, which alone takes a stop.
    const bool made = make_page_of(tree, root);
    return made && !tree.failed ? 0 : -1;
}

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

#include "albums/album_folders.h"
#include "platform/current_folder.h"
#include "platform/helper_threads.h"
#include "platform/signal_cleanup.h"
#include "run/album_page.h"
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
    bool finished = false;                       // its parent was told (under the tree's lock)
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

// No memory to go on with the tree: the folders under way are finished,
// the top's page made with the albums made so far, and the run fails.
// Under the tree's lock.
void give_up(Tree& tree)
{
    tree.failed = true;
    tree.top_ready = true;
    tree.changed.notify_all();
}

// The album is done with, once: its parent's page may be made once its
// last album is.
void finish(Tree& tree, Album& album)
{
    std::lock_guard<std::mutex> hold(tree.lock);
    if (album.finished)
        return;
    album.finished = true;
    Album* parent = album.parent;
    if (parent && --parent->waiting == 0) {
        if (!parent->parent)
            tree.top_ready = true;
        else
            try {
                tree.tasks.push_back(Task{parent, true});
            } catch (...) {
                give_up(tree);
            }
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
    const bool left_out = !listed || (album.parent && holds_nomedia(listing));
    if (!left_out)
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
    if (left_out)
        return finish(tree, album);
    std::lock_guard<std::mutex> hold(tree.lock);
    album.waiting = album.albums.size();
    try {
        for (const std::unique_ptr<Album>& next : album.albums)
            tree.tasks.push_back(Task{next.get(), false});
        if (album.albums.empty() && album.parent)
            tree.tasks.push_back(Task{&album, true});
    } catch (...) {
        return give_up(tree);  // an album not handed on would never be finished
    }
    if (album.albums.empty() && !album.parent)
        tree.top_ready = true;
    tree.changed.notify_all();
}

// Makes the album's page, its albums made: true when it is an album (it,
// or a folder below it, holds a picture) and its page is there.
bool make_page_of(Tree& tree, Album& album)
{
    WorkFolder at;
    if (!open_album(tree, album, at))
        return false;
    AlbumPage page;
    page.top = &tree.top;
    page.budget = &tree.budget;
    page.is_top = !album.parent;
    for (const Album* above = album.parent; above; above = above->parent) {
        if (above->has_template)
            page.template_paths.push_back(above->path.empty() ? kTemplateName
                                                              : above->path + kPathSeparator + kTemplateName);
        page.trail.insert(page.trail.begin(), above->name);
    }
    page.trail.push_back(album.name);
    for (const std::unique_ptr<Album>& next : album.albums)
        if (next->is_album)
            page.albums.push_back(next->cell);
    bool failed = false;
    bool made = false;
    try {
        made = make_album_page(at, page, album.cell, failed);
    } catch (...) {
        close_album(album, at);
        throw;
    }
    if (failed)
        tree.failed = true;
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

// The page while it is written: a temporary file in the folder of the page
// it will replace, put in its place only when it is whole, so that a reader
// of the folder sees the old page or the new one, never half a page.
//
// Calling sequence, one page at a time:
//
//   begin_page                 makes and holds the temporary file
//   write_output_file ...      (platform_file.h) writes the page into it
//   commit_page or abandon_page
//
// Between begin_page and the end, the signals that stop a run (Ctrl+C and
// the like on Windows) remove the temporary file before the run ends.
// commit_page removes it itself when it fails, so after either call there
// is no temporary file, whatever happened; a second abandon_page does
// nothing. A run killed outright leaves its file, and a later run removes
// it with remove_abandoned_pages.
#ifndef KORVEL_PLATFORM_PAGE_FILE_H
#define KORVEL_PLATFORM_PAGE_FILE_H

#include <string>
#include <vector>

#include "platform/folder_listing.h"
#include "platform/platform_file.h"

struct PageFile {
    PlatformFile file;
    PlatformFile folder;    // POSIX: the page's folder, open, as its links lead; unused on Windows
    std::string target;     // the page where its links lead: its name in folder (POSIX), its path (Windows)
    std::string temporary;  // the temporary file, likewise; empty when there is none
    // The run's last page: once it is in place the run has done its work,
    // and no stop may say otherwise. A page of a tree's album is not.
    bool ends_run = true;
};

// Creates the temporary file for the page name of the folder at, named
// after it: for
// "index.html", ".index.html.korvel~P" (".korvel~W" on Windows) and twelve
// letters or digits. The run holds it (a lock on POSIX, no delete sharing
// on Windows) for as long as it lives, so that other runs know it is in
// use. A page that replaces another gets its protection (owner, group,
// mode and access list on POSIX; access list and attributes on Windows); a
// first page gets what the system gives any new file there. Fails,
// creating nothing, when a link on the way to the page is another user's,
// when the page exists but is not a plain file (a folder, say), or the
// running user may not write it or, on POSIX, read its protection, when
// its protection cannot be kept, or when the temporary file cannot be
// created in its folder.
bool begin_page(PageFile& page, const WorkFolder& at, const char* name);

// Flushes the temporary file to the disk and puts it in place of the page,
// with the old page's permission bits; on POSIX the folder is flushed after
// the rename. After a power failure the folder holds the old page or the
// new one, whole. Fails when the flush or the replacement fails; the
// temporary file is then removed and the old page stays as it was.
bool commit_page(PageFile& page);

// Removes the temporary file and closes it; the old page stays as it was.
void abandon_page(PageFile& page);

// True when the temporary file, written and flushed (flush_sink), holds the
// same bytes as the page it would replace: the old page can then stay as
// it is, its time included. False when there is no old page, or either
// cannot be read.
bool same_as_old_page(const PageFile& page);

// The names in a listing of the page's folder that may be temporary pages
// of any page, and so leftovers of killed runs. Taken before the listing is thinned
// out to the pictures, and handed to remove_abandoned_pages.
std::vector<std::string> temporary_pages_in(const FolderListing& listing);

// Removes the temporary pages that runs killed outright left beside the
// page: those named in seen (from temporary_pages_in, a listing of at) when
// the page is in at, or else those its own folder holds. Only names of the
// page's own temporary pages of this system's form are removed, and only
// when this run can lock them (or delete them, on Windows): one that a live
// run holds is left alone, and so is every one on a file system that
// refuses locks. Nothing is reported: a leftover that stays costs no page.
void remove_abandoned_pages(const PageFile& page, const WorkFolder& at, const std::vector<std::string>& seen);

#endif

// One run of the tool: list the pictures, write the page "index.html" in the
// current directory, framed by the template "korvel0.htm" when there is one.
#ifndef KORVEL_RUN_GALLERY_RUN_H
#define KORVEL_RUN_GALLERY_RUN_H

#include <cstdint>
#include <string>
#include <vector>

#include "pagewriter/album_table.h"
#include "pagewriter/page_sink.h"
#include "platform/input_file.h"
#include "platform/page_file.h"
#include "platform/work_folder.h"
#include "templating/template_copy.h"
#include "web_pictures/memory_budget.h"

// The state that lives for the whole run.
struct GalleryRun {
    WorkFolder at;  // the folder whose page is made
    PageFile page_file;
    PageSink page;  // every writer writes here
    PlatformFile template_file;
    TemplateSource template_source;
    bool template_open = false;
    std::uint64_t line_number = 0;  // template lines read so far
    std::string marker_rest;        // what followed the marker tag's ">"
    std::string folder_name;        // last component of the folder's path
    std::uint64_t picture_count = 0;
    // Where a folder without a template of its own looks for one, nearest
    // first: in a tree of albums, its ancestors' templates, by their paths
    // from the top folder.
    const WorkFolder* top = nullptr;
    std::vector<std::string> template_paths;
    MemoryBudget* budget = nullptr;  // shared by the folders made at once; null: the page's own
    // A page of a tree of albums (ALBUMS): the names from the top down to
    // this folder, its albums' cells, and its own for its parent's page.
    bool in_tree = false;
    std::vector<std::string> trail;
    std::vector<AlbumCell> albums;
    AlbumCell cell;
};

// The whole run. Arguments and environment are ignored. Returns the exit
// status: 0 when the new page is in place, whole; -1 when the folder could
// not be listed, the template could not be read, or the page could not be
// created, written or put in place, and then the old page stays as it was;
// so also when memory runs out. Nothing is ever printed.
int run_gallery(int argc, char** argv, char** envp);

#endif

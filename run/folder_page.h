// The page of one folder: its pictures listed, their pieces and facts
// made where the template asks for them, the page written from the
// template and put in place. A run makes one; a tree of albums (ALBUMS)
// makes one for each album, the top's last.
#ifndef KORVEL_RUN_FOLDER_PAGE_H
#define KORVEL_RUN_FOLDER_PAGE_H

#include <string>
#include <vector>

#include "pagewriter/image_listing.h"
#include "platform/work_folder.h"
#include "run/gallery_run.h"
#include "run/page_options.h"

constexpr const char* kPageName = "index.html";
constexpr const char* kTemplateName = "korvel0.htm";

// The options the marker of the template of the folder at sets, read
// without writing anything; the defaults where it has no template. Fails
// when its template is there but cannot be read.
bool read_marker_options(const WorkFolder& at, PageOptions& options);

// Makes the page of run.at from images, its pictures (list_images), and
// leftovers, the temporary pages its whole listing held
// (temporary_pages_in). In a tree (run.in_tree) the page also
// shows the way back and the albums, sets run.cell, and an old page with
// the same bytes is left as it is. Fails when the page could not be put
// in place; the old page then stays as it was.
bool make_folder_page(GalleryRun& run, ImageList& images, const std::vector<std::string>& leftovers);

#endif

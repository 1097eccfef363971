// What is stale in a folder of thumbnails or views once the page is in
// place: what killed runs left, and the pieces whose pictures are gone or
// make none any more.
#ifndef KORVEL_WEB_PICTURES_STALE_PICTURES_H
#define KORVEL_WEB_PICTURES_STALE_PICTURES_H

#include <cstddef>
#include <string_view>
#include <vector>

#include "pagewriter/image_listing.h"
#include "platform/web_picture_files.h"
#include "web_pictures/web_picture_batch.h"

// True when name in folder is a piece korvel made: the running user's own,
// with mark as its comment among its first markers (read that far only).
bool is_marked_piece(const WebPictureFolder& folder, std::string_view name, const char* mark);

// Removes from folder, whose names were listed before this run made
// anything in it (so what it made is not among them), the temporary files
// no live run holds, and each file that is not the record nor a piece of
// the kind in place for one of images, carries mark as its comment and is
// the running user's own. current: how many of names are current pieces;
// when they and the record are all there is, nothing is read. Nothing
// fails: what cannot be removed stays.
void remove_stale_pictures(WebPictureFolder& folder, const std::vector<std::string_view>& names,
                           std::size_t current, const ImageList& images, std::size_t kind, const char* mark);

#endif

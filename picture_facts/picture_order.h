// The order of the pictures under BYDATE: by the date and time their
// sections show, oldest first.
#ifndef KORVEL_PICTURE_FACTS_PICTURE_ORDER_H
#define KORVEL_PICTURE_FACTS_PICTURE_ORDER_H

#include <cstddef>
#include <vector>

#include "pagewriter/image_listing.h"
#include "picture_facts/picture_facts.h"

// The time a picture's section shows: when it was taken, where facts
// (null: none) hold a sound time, else its file's last change in local
// time; not known when the system cannot show that.
WallTime shown_time_of(const ImageFile& image, const PictureFacts* facts);

// The pictures' indices, oldest first by the time each shows: when it was
// taken (taken, where its facts, one for each picture, have a sound one),
// else its file's last change in local time. Pictures of the same time
// keep their order (by name); those whose time the system cannot show
// come last.
std::vector<std::size_t> date_order(const ImageList& images, const std::vector<PictureFacts>& facts, bool taken);

// A listing of the same pictures in that order, naming into images'
// names, with facts put in the same order.
ImageList in_order(const ImageList& images, const std::vector<std::size_t>& order);
std::vector<PictureFacts> in_order(const std::vector<PictureFacts>& facts, const std::vector<std::size_t>& order);

#endif

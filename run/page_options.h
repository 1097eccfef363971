// The gallery settings that the template's marker tag can change and that
// the table and section writers follow. A run starts from these defaults;
// the marker's options only ever switch a detail off.
#ifndef KORVEL_RUN_PAGE_OPTIONS_H
#define KORVEL_RUN_PAGE_OPTIONS_H

#include <string>

struct PageOptions {
    bool show_date = true;
    bool show_time = true;
    bool show_extension = true;  // false: the shown name loses its last 4 characters
    bool show_name = true;
    bool show_file_size = true;
    bool show_rule = true;             // false: sections end with <br> instead of <hr>
    bool show_details = true;          // false: date, time and size go too
    bool eager_pictures = true;        // false: LAZY, each picture loads only as it nears the view
    bool full_size_thumbnails = true;  // false: THUMBS, the table shows small thumbnails
    bool full_size_sections = true;    // false: VIEWS, the sections show web-size views
    bool show_captions = false;        // CAPTIONS: each picture's title and caption, as its alt too
    bool show_time_taken = false;      // TAKEN: the date and time are when it was taken
    bool show_camera = false;          // CAMERA: a line with the camera and exposure
    bool order_by_date = false;        // BYDATE: oldest first by the date and time shown
    bool albums = false;               // ALBUMS: a page for each folder of the tree below, and their table
    std::string table_attributes = "border='0'";  // written raw into <table ...>
};

// True when the options ask for thumbnails or views: a page for the web,
// with the head and the markup a phone needs.
inline bool is_web_page(const PageOptions& options)
{
    return !options.full_size_thumbnails || !options.full_size_sections;
}

// True when the options ask for what the pictures say of themselves.
inline bool wants_picture_facts(const PageOptions& options)
{
    return options.show_captions || options.show_time_taken || options.show_camera || options.order_by_date;
}

#endif

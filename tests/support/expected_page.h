// The page the end-to-end tests expect, built from the page's fixed texts.
#ifndef KORVEL_TESTS_EXPECTED_PAGE_H
#define KORVEL_TESTS_EXPECTED_PAGE_H

#include <map>
#include <string>
#include <vector>

#include "pagewriter/credit.h"
#include "support/test_support.h"

// Compares a page with the page expected, whose line ends are "\n": the
// platform stores them in its own way.
#define EXPECT_PAGE(actual, expected) EXPECT_EQ(actual, native_line_ends(expected))

// One picture as the page should show it.
struct ShownPicture {
    std::string text;  // the name as HTML text
    std::string src;   // the name as it stands in img src
    std::string alt;   // the alt text of the thumbnail
    std::string details;  // what follows the name's two &nbsp;: size, date, time
};

inline std::string expected_header(const std::string& folder_html)
{
    return "<html><head><title>" + folder_html + "</title></head>\n<body><center><h1>" + folder_html + "</h1>\n";
}

inline std::string expected_footer()
{
    return "<p><i>This page was made with Korvel by <a href='http://" KORVEL_CREDIT_HOST
           "/Korvel/index.html'>" KORVEL_CREDIT_MAKER "</a> " KORVEL_CREDIT_TOWN "</i>\n</body></html>";
}

// The table and the sections for the pictures in the order given.
inline std::string expected_gallery(const std::vector<ShownPicture>& pictures,
                                    const std::string& attributes = "border='0'")
{
    std::string table = "<a name='TOP'><table " + attributes + " cellspan='10' cols='12' width='100%'>\n" +
                        "<tr align='center' valign='center'>\n";
    std::string sections;
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        const ShownPicture& p = pictures[i];
        std::string k = std::to_string(i + 1);
        std::string next = std::to_string(i + 1 == pictures.size() ? 1 : i + 2);
        if (i > 0 && i % 12 == 0)
            table += "</tr>\n<tr align='center' valign='center'>\n";
        table += "<td width='60' height='60'><a href='#" + k + "'><img src='" + p.src + "' alt='" + p.alt +
                 "' border='0' width='60'></a></td>\n";
        sections += "<a name='" + k + "'><br>" + p.text + "&nbsp;&nbsp;" + p.details +
                    "<a href='#TOP' style='text-decoration: none;'> [Top] </a>\n<p><a href='#" + next +
                    "'><img src='" + p.src + "' border='1' align='top absmiddle'></a>\n<hr>\n";
    }
    return table + "</tr></table>\n" + sections;
}

// The pictures of by_name in the gallery's order.
inline std::vector<ShownPicture> in_name_order(const std::map<std::string, ShownPicture>& by_name)
{
    std::vector<std::string> names;
    for (const auto& entry : by_name)
        names.push_back(entry.first);
    std::vector<ShownPicture> pictures;
    for (const std::string& name : in_name_order(names))
        pictures.push_back(by_name.at(name));
    return pictures;
}

#endif

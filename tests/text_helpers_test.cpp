#include <gtest/gtest.h>

#include "text/text_helpers.h"

TEST(TextHelpers, DropFirstChar)
{
    std::string path = "/Holiday";
    drop_first_char(path);
    EXPECT_EQ(path, "Holiday");
    std::string one = ">";
    drop_first_char(one);
    EXPECT_EQ(one, "");
    drop_first_char(one);
    EXPECT_EQ(one, "");
}

TEST(TextHelpers, UpperInPlaceTouchesOnlyAsciiLetters)
{
    std::string option = "border='1' nodate \xc3\xa9\xff";
    upper_in_place(option);
    EXPECT_EQ(option, "BORDER='1' NODATE \xc3\xa9\xff");
}

TEST(TextHelpers, CutAtCharEndsAtTheFirstOccurrence)
{
    std::string tag = "<KORVEL NODATE> after > more";
    cut_at_char(tag, '>');
    EXPECT_EQ(tag, "<KORVEL NODATE");
    std::string plain = "<KORVEL NODATE";
    cut_at_char(plain, '>');
    EXPECT_EQ(plain, "<KORVEL NODATE");
}

TEST(TextHelpers, LeftAndMidStopAtTheEnd)
{
    EXPECT_EQ(left_text("BORDER='1'", 6), "BORDER");
    EXPECT_EQ(left_text("BORD", 6), "BORD");
    EXPECT_EQ(left_text("BORDER", 0), "");

    const std::string date = "Tue Jan 02 11:20:30 2024";
    EXPECT_EQ(mid_text(date, 20, 4), "2024");
    EXPECT_EQ(mid_text(date, 8, 2), "02");
    EXPECT_EQ(mid_text(date, 22, 10), "24");
    EXPECT_EQ(mid_text(date, 24, 1), "");
    EXPECT_EQ(mid_text(date, 99, 1), "");
}

TEST(TextHelpers, HtmlEscapingCoversTheFiveSpecialCharacters)
{
    std::string out = "kept:";
    append_html_escaped(out, "a&b<c>d'e\"f");
    EXPECT_EQ(out, "kept:a&amp;b&lt;c&gt;d&#39;e&quot;f");

    std::string plain;
    append_html_escaped(plain, "IMG_0001 (2)-x_y.jpg");
    EXPECT_EQ(plain, "IMG_0001 (2)-x_y.jpg");
}

TEST(TextHelpers, UrlEscapingPercentEncodesThenHtmlEscapes)
{
    std::string out;
    append_url_escaped(out, "a%b#c?d\\e:f", false);
    EXPECT_EQ(out, "a%25b%23c%3Fd%5Ce%3Af");

    out.clear();
    append_url_escaped(out, std::string("tab\there\x7f\x01\x00", 11), false);
    EXPECT_EQ(out, "tab%09here%7F%01%00");

    // Quotes and markup characters stay bytes of the URL but become entities.
    out.clear();
    append_url_escaped(out, "x' onerror='alert(1)<&>\".jpg", false);
    EXPECT_EQ(out, "x&#39; onerror=&#39;alert(1)&lt;&amp;&gt;&quot;.jpg");

    // Plain names, blanks included, come through unchanged.
    out.clear();
    append_url_escaped(out, "My Photo (1)-a_b.JPG", false);
    EXPECT_EQ(out, "My Photo (1)-a_b.JPG");
}

TEST(TextHelpers, UrlEscapingOfHighBytesDependsOnThePlatformRule)
{
    std::string out;
    append_url_escaped(out, "caf\xc3\xa9.jpg", false);
    EXPECT_EQ(out, "caf%C3%A9.jpg");
    out.clear();
    append_url_escaped(out, "caf\xe9#.jpg", true);
    EXPECT_EQ(out, "caf\xe9%23.jpg");
}

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
    append_url_escaped(out, "a%b#c?d\\e:f");
    EXPECT_EQ(out, "a%25b%23c%3Fd%5Ce%3Af");

    out.clear();
    append_url_escaped(out, std::string("tab\there\x7f\x01\x00", 11));
    EXPECT_EQ(out, "tab%09here%7F%01%00");

    // Quotes and markup characters stay bytes of the URL but become entities.
    out.clear();
    append_url_escaped(out, "x' onerror='alert(1)<&>\".jpg");
    EXPECT_EQ(out, "x&#39; onerror=&#39;alert(1)&lt;&amp;&gt;&quot;.jpg");

    // Plain names, blanks included, come through unchanged, but for blanks
    // at the start, which a browser would strip.
    out.clear();
    append_url_escaped(out, "My Photo (1)-a_b.JPG");
    EXPECT_EQ(out, "My Photo (1)-a_b.JPG");
    out.clear();
    append_url_escaped(out, "  beach x.jpg");
    EXPECT_EQ(out, "%20%20beach x.jpg");
}

TEST(TextHelpers, NamesInAnyScriptBecomePureAscii)
{
    struct Case {
        const char* what;
        std::string name, text, src;
    };
    const Case cases[] = {
        {"Latin", "Caf\xc3\xa9 cr\xc3\xa8me", "Caf&#233; cr&#232;me", "Caf%C3%A9 cr%C3%A8me"},
        {"Cyrillic", "\xd0\xa4\xd0\xbe\xd1\x82\xd0\xbe", "&#1060;&#1086;&#1090;&#1086;", "%D0%A4%D0%BE%D1%82%D0%BE"},
        {"CJK", "\xe5\x86\x99\xe7\x9c\x9f", "&#20889;&#30495;", "%E5%86%99%E7%9C%9F"},
        {"4-byte emoji", "\xf0\x9f\x93\xb7", "&#128247;", "%F0%9F%93%B7"},
        {"combining mark", "e\xcc\x81", "e&#769;", "e%CC%81"},
        {"right to left", "\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d", "&#1513;&#1500;&#1493;&#1501;", "%D7%A9%D7%9C%D7%95%D7%9D"},
        {"highest code point", "\xf4\x8f\xbf\xbf", "&#1114111;", "%F4%8F%BF%BF"},
        {"first after the C1 controls", "\xc2\xa0", "&#160;", "%C2%A0"},
        {"escaped and encoded", "Tom & J\xc3\xa9r\xc3\xb4me's", "Tom &amp; J&#233;r&#244;me&#39;s", "Tom &amp; J%C3%A9r%C3%B4me&#39;s"},
        // Each maximal invalid subsequence is one replacement character.
        {"overlong", "\xc0\xaf", "&#65533;&#65533;", "%C0%AF"},
        {"encoded surrogate", "\xed\xa0\x80", "&#65533;&#65533;&#65533;", "%ED%A0%80"},
        {"above U+10FFFF", "\xf4\x90\x80\x80", "&#65533;&#65533;&#65533;&#65533;", "%F4%90%80%80"},
        {"cut off at the end", "a\xf0\x9f\x93", "a&#65533;", "a%F0%9F%93"},
        {"cut off by ASCII", "\xe5\x86" "A", "&#65533;A", "%E5%86A"},
        {"lone continuations", "\x80\xbf", "&#65533;&#65533;", "%80%BF"},
        {"never in UTF-8", "\xff\xfe", "&#65533;&#65533;", "%FF%FE"},
        {"C1 control", "\xc2\x85", "&#65533;", "%C2%85"},
    };
    for (const Case& c : cases) {
        std::string text, src;
        append_html_escaped(text, c.name);
        append_url_escaped(src, c.name);
        EXPECT_EQ(text, c.text) << c.what;
        EXPECT_EQ(src, c.src) << c.what;
    }
}

// The template copy and the marker's options, with the template and the page
// in memory.
#include <gtest/gtest.h>

#include <string>

#include "run/gallery_run.h"
#include "run/page_options.h"
#include "support/test_support.h"
#include "templating/marker_options.h"
#include "templating/template_copy.h"

namespace {

PageOptions parsed(const std::string& tag)
{
    PageOptions options;
    parse_marker_options(tag, options);
    return options;
}

// Head and tail around a stand-in gallery, as the run does it.
struct Copied {
    std::string page;
    PageOptions options;
    std::uint64_t lines = 0;
};

Copied copy_around_gallery(const std::string& template_text)
{
    GalleryRun run;
    run.folder_name = "Trip";
    run.template_open = true;
    run.template_source.buffer = template_text;
    Copied copied;
    copy_template_head(run, copied.options);
    copied.lines = run.line_number;
    put_text(run.page, "[GALLERY]");
    copy_template_tail(run);
    copied.page = run.page.pending;
    return copied;
}

const std::string kHeader = "<html><head><title>Trip</title></head>\n<body><center><h1>Trip</h1>\n";

}  // namespace

TEST(MarkerOptions, EachOptionClearsItsFlag)
{
    PageOptions defaults;
    EXPECT_TRUE(defaults.show_date && defaults.show_time && defaults.show_extension && defaults.show_name &&
                defaults.show_file_size && defaults.show_rule && defaults.show_details && defaults.eager_pictures);
    EXPECT_EQ(defaults.table_attributes, "border='0'");

    EXPECT_FALSE(parsed("<KORVEL NODATE").show_date);
    EXPECT_FALSE(parsed("<KORVEL NOTIME").show_time);
    EXPECT_FALSE(parsed("<KORVEL NOEXT").show_extension);
    EXPECT_FALSE(parsed("<KORVEL NONAME").show_name);
    EXPECT_FALSE(parsed("<KORVEL NOFILESIZE").show_file_size);
    EXPECT_FALSE(parsed("<KORVEL NOHR").show_rule);
    EXPECT_FALSE(parsed("<KORVEL LAZY").eager_pictures);
    EXPECT_EQ(parsed("<KORVEL BORDER='1'").table_attributes, "BORDER='1'");

    PageOptions none = parsed("<KORVEL");
    EXPECT_TRUE(none.show_date && none.show_time && none.show_extension && none.show_name &&
                none.show_file_size && none.show_rule && none.show_details);
    EXPECT_EQ(none.table_attributes, "border='0'");
}

TEST(MarkerOptions, EqualsAgainstContains)
{
    EXPECT_TRUE(parsed("<KORVEL NODATE=1").show_date);
    EXPECT_TRUE(parsed("<KORVEL XNOTIME").show_time);
    EXPECT_TRUE(parsed("<KORVEL NOHR;").show_rule);
    EXPECT_TRUE(parsed("<KORVEL LAZY=1 NOLAZY").eager_pictures);
    EXPECT_FALSE(parsed("<KORVEL NOEXT=1").show_extension);
    EXPECT_FALSE(parsed("<KORVEL NOEXTENSION").show_extension);
    EXPECT_FALSE(parsed("<KORVEL NODETAILS").show_details);
    PageOptions both = parsed("<KORVEL NOEXT_NODET");
    EXPECT_FALSE(both.show_extension);
    EXPECT_FALSE(both.show_details);
    EXPECT_TRUE(parsed("<KORVEL BORD").table_attributes == "border='0'");
}

TEST(MarkerOptions, BlanksAloneSeparate)
{
    PageOptions spaced = parsed("<KORVEL    NODATE     NOTIME  ");
    EXPECT_FALSE(spaced.show_date);
    EXPECT_FALSE(spaced.show_time);
    PageOptions tabbed = parsed("<KORVEL NODATE\tNOTIME");
    EXPECT_TRUE(tabbed.show_date);
    EXPECT_TRUE(tabbed.show_time);
}

TEST(MarkerOptions, LastBorderWinsAndIsKeptWhole)
{
    EXPECT_EQ(parsed("<KORVEL BORDER='1' BORDER='2'").table_attributes, "BORDER='2'");
    std::string long_border = "BORDER='1'CELLPADDING='4'STYLE='BACKGROUND:#EEE'";
    EXPECT_EQ(parsed("<KORVEL " + long_border).table_attributes, long_border);
}

TEST(MarkerOptions, NoDetailsClearsDateTimeAndSizeOnly)
{
    for (const char* tag : {"<KORVEL NODET", "<KORVEL NODET NOTIME", "<KORVEL NOTIME NODET"}) {
        PageOptions options = parsed(tag);
        EXPECT_FALSE(options.show_date) << tag;
        EXPECT_FALSE(options.show_time) << tag;
        EXPECT_FALSE(options.show_file_size) << tag;
        EXPECT_TRUE(options.show_name) << tag;
        EXPECT_TRUE(options.show_extension) << tag;
        EXPECT_TRUE(options.show_rule) << tag;
    }
}

TEST(TemplateLines, SplitAt259AndTranslateCrLf)
{
    TemplateSource source;
    source.buffer = std::string(300, 'x') + "\na\r\nb\rc\r\n" + std::string(258, 'y') + "\r\nlast";
    std::string line;
    ASSERT_TRUE(read_template_line(source, line));
    EXPECT_EQ(line, std::string(259, 'x'));
    ASSERT_TRUE(read_template_line(source, line));
    EXPECT_EQ(line, std::string(41, 'x') + "\n");
    ASSERT_TRUE(read_template_line(source, line));
    EXPECT_EQ(line, "a\n");
    ASSERT_TRUE(read_template_line(source, line));
    EXPECT_EQ(line, "b\rc\n");
    ASSERT_TRUE(read_template_line(source, line));
    EXPECT_EQ(line, std::string(258, 'y') + "\n");  // the CR does not count
    ASSERT_TRUE(read_template_line(source, line));
    EXPECT_EQ(line, "last");
    EXPECT_FALSE(read_template_line(source, line));
    EXPECT_FALSE(source.failed);
}

TEST(TemplateLines, CrLfAcrossReadsFromAFile)
{
    TempFolder folder;
    std::string path = join_path(folder.path, "korvel0.htm");
    // The CR is the last byte of the first read, the LF the first of the next.
    std::string text;
    while (text.size() < 64 * 1024 - 1)
        text += std::string(99, 'z') + "\n";
    text.resize(64 * 1024 - 1);
    text += "\r\nend\r";
    write_file(path, text);
    PlatformFile file;
    ASSERT_EQ(open_input_file(file, current_work_folder(), path.c_str()), OpenResult::opened);
    TemplateSource source;
    source.file = &file;
    std::string line, all;
    while (read_template_line(source, line))
        all += line;
    close_input_file(file);
    std::string expected = text.substr(0, 64 * 1024 - 1) + "\nend\r";
    EXPECT_EQ(all, expected);
    EXPECT_FALSE(source.failed);
}

TEST(TemplateLines, FindMarker)
{
    EXPECT_EQ(find_marker("<KORVEL NODATE>\n"), 0u);
    EXPECT_EQ(find_marker("<td><KORVEL>x <KORVEL NODATE></td>\n"), std::string::npos);
    EXPECT_EQ(find_marker("<KORVELX <KORVEL NOHR>\n"), 9u);
    EXPECT_EQ(find_marker("<KORVELX>\n"), std::string::npos);
    EXPECT_EQ(find_marker("<korvel nodate>\n"), std::string::npos);
    EXPECT_EQ(find_marker("<KORVEL\tNODATE>\n"), std::string::npos);
    EXPECT_EQ(find_marker("a <KORVEL\n"), 2u);
    EXPECT_EQ(find_marker("<KORVEL"), std::string::npos);
}



TEST(TemplateCopy, TextInFrontOfAFirstLineMarkerComesBeforeTheHeader)
{
    Copied copied = copy_around_gallery("<div><KORVEL></div>\n");
    EXPECT_EQ(copied.page, "<div><KORVEL></div>\n[GALLERY]");
    copied = copy_around_gallery("<div><KORVEL NONAME>tail\n");
    EXPECT_EQ(copied.page, "<div>" + kHeader + "[GALLERY]tail\n");
}


TEST(TemplateCopy, ATagOverSeveralLines)
{
    Copied copied = copy_around_gallery("<p><KORVEL nodate\n notime\nborder='2'>rest\nmore\n");
    EXPECT_EQ(copied.page, "<p>" + kHeader + "[GALLERY]rest\nmore\n");
    EXPECT_FALSE(copied.options.show_date);
    EXPECT_FALSE(copied.options.show_time);
    EXPECT_EQ(copied.options.table_attributes, "BORDER='2'");
    EXPECT_EQ(copied.lines, 3u);

    // The line end right after the keyword separates like a blank.
    copied = copy_around_gallery("x\n<KORVEL\nNOHR>\n");
    EXPECT_EQ(copied.page, "x\n[GALLERY]\n");
    EXPECT_FALSE(copied.options.show_rule);

    // So does the end of the template, even where a piece ends.
    EXPECT_EQ(copy_around_gallery("<KORVEL").page, kHeader + "[GALLERY]");
    EXPECT_EQ(copy_around_gallery("x\n<p><KORVEL").page, "x\n<p>[GALLERY]");
    const std::string front(kTemplateLineMax - 7, '-');
    EXPECT_EQ(copy_around_gallery(front + "<KORVEL").page, front + kHeader + "[GALLERY]");
}


TEST(TemplateCopy, ATagCutBy259CharactersGoesOnInTheNextPiece)
{
    std::string first = std::string(250, '-') + "<KORVEL NOTIME NODATE>after\n";
    Copied copied = copy_around_gallery(first);
    // The tag starts within the first 259 characters: it is on line 1.
    EXPECT_EQ(copied.page, std::string(250, '-') + kHeader + "[GALLERY]after\n");
    EXPECT_FALSE(copied.options.show_time);
    EXPECT_FALSE(copied.options.show_date);
    EXPECT_EQ(copied.lines, 2u);

    // The keyword itself cut at each of its 7 places still counts on the
    // piece where it starts; the bare tag cut so stays text.
    for (std::size_t in_first = 1; in_first <= 7; ++in_first) {
        std::string front(kTemplateLineMax - in_first, '-');
        copied = copy_around_gallery(front + "<KORVEL NODATE>after\n");
        EXPECT_EQ(copied.page, front + kHeader + "[GALLERY]after\n") << in_first;
        EXPECT_FALSE(copied.options.show_date) << in_first;
        EXPECT_EQ(copy_around_gallery(front + "<KORVEL>\n").page, front + "<KORVEL>\n[GALLERY]") << in_first;
    }
}

TEST(TemplateCopy, ASecondMarkerIsOrdinaryText)
{
    Copied copied = copy_around_gallery("<KORVEL NOHR>\n<KORVEL NODATE>\n");
    EXPECT_EQ(copied.page, kHeader + "[GALLERY]\n<KORVEL NODATE>\n");
    EXPECT_TRUE(copied.options.show_date);
}

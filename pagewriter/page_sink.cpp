#include "pagewriter/page_sink.h"

#include <charconv>

#include "text/text_helpers.h"

namespace {
constexpr std::size_t kFlushSize = 64 * 1024;

void flush_when_full(PageSink& sink)
{
    if (sink.file && sink.pending.size() >= kFlushSize)
        flush_sink(sink);
}
}  // namespace

bool flush_sink(PageSink& sink)
{
    if (!sink.file)
        return !sink.failed;
    if (!sink.failed && !sink.pending.empty())
        sink.failed = !write_output_file(*sink.file, sink.pending.data(), sink.pending.size());
    sink.pending.clear();
    return !sink.failed;
}

void put_text(PageSink& sink, std::string_view text)
{
    sink.pending.append(text);
    flush_when_full(sink);
}

void put_number(PageSink& sink, std::uint64_t number)
{
    char digits[24];
    auto result = std::to_chars(digits, digits + sizeof digits, number);
    sink.pending.append(digits, result.ptr);
    flush_when_full(sink);
}

void put_html(PageSink& sink, std::string_view text)
{
    append_html_escaped(sink.pending, text);
    flush_when_full(sink);
}

void put_url(PageSink& sink, std::string_view name, bool in_srcset)
{
    append_url_escaped(sink.pending, name, in_srcset);
    flush_when_full(sink);
}

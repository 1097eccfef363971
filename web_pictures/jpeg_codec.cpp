// libjpeg-turbo through its libjpeg API. The library reports an error by
// calling error_exit, which jumps back here; between setjmp and the
// library calls no object with a destructor lives.
#include "web_pictures/jpeg_codec.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

#include "web_pictures/exif_orientation.h"

namespace {

struct ErrorJump {
    jpeg_error_mgr manager;
    std::jmp_buf back;
};

extern "C" void jump_back(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<ErrorJump*>(cinfo->err)->back, 1);
}

// A warning (a truncated picture, a bad marker) makes no right thumbnail:
// it jumps back as an error does. Nothing is ever printed.
extern "C" void jump_on_warning(j_common_ptr cinfo, int level)
{
    if (level < 0)
        std::longjmp(reinterpret_cast<ErrorJump*>(cinfo->err)->back, 1);
}

void set_up(ErrorJump& jump)
{
    jpeg_std_error(&jump.manager);
    jump.manager.error_exit = jump_back;
    jump.manager.emit_message = jump_on_warning;
}

// Ends decoding, as an error does, once the picture has had its share of
// scans. The library calls this as it reads, scan after scan.
extern "C" void limit_scans(j_common_ptr cinfo)
{
    if (cinfo->is_decompressor && reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMostScans)
        std::longjmp(reinterpret_cast<ErrorJump*>(cinfo->err)->back, 1);
}

constexpr int kExifMarker = JPEG_APP0 + 1;
constexpr int kIccMarker = JPEG_APP0 + 2;

}  // namespace

bool read_jpeg_header(const unsigned char* data, std::size_t size, JpegHeader& header)
{
    header = JpegHeader();
    jpeg_decompress_struct cinfo;
    ErrorJump jump;
    cinfo.err = &jump.manager;
    set_up(jump);
    if (setjmp(jump.back)) {
        jpeg_destroy_decompress(&cinfo);
        std::free(header.icc);
        header.icc = nullptr;
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_save_markers(&cinfo, kExifMarker, 0xFFFF);
    jpeg_save_markers(&cinfo, kIccMarker, 0xFFFF);
    jpeg_read_header(&cinfo, TRUE);
    header.width = cinfo.image_width;
    header.height = cinfo.image_height;
    header.rgb_possible = cinfo.jpeg_color_space == JCS_GRAYSCALE || cinfo.jpeg_color_space == JCS_YCbCr ||
                          cinfo.jpeg_color_space == JCS_RGB;
    // A progressive picture, or a baseline one whose colours come in scans
    // of their own, keeps all its coefficients while it decodes.
    header.progressive = jpeg_has_multiple_scans(&cinfo) != 0;
    // The first EXIF block alone, as browsers read it: one further on
    // (a second, from an editor that added its own) turns nothing.
    for (jpeg_saved_marker_ptr marker = cinfo.marker_list; marker; marker = marker->next)
        if (marker->marker == kExifMarker && is_exif_block(marker->data, marker->data_length)) {
            header.orientation = exif_orientation(marker->data, marker->data_length);
            break;
        }
    JOCTET* icc = nullptr;
    unsigned icc_size = 0;
    if (jpeg_read_icc_profile(&cinfo, &icc, &icc_size)) {
        header.icc = icc;
        header.icc_size = icc_size;
    }
    jpeg_destroy_decompress(&cinfo);
    return true;
}

void scaled_size(const JpegHeader& header, unsigned denominator, unsigned& width, unsigned& height)
{
    // As jpeg_calc_output_dimensions rounds: up.
    width = (header.width + denominator - 1) / denominator;
    height = (header.height + denominator - 1) / denominator;
}

bool decode_jpeg(const unsigned char* data, std::size_t size, unsigned denominator, std::size_t memory_limit,
                 unsigned char* pixels)
{
    jpeg_decompress_struct cinfo;
    ErrorJump jump;
    cinfo.err = &jump.manager;
    set_up(jump);
    if (setjmp(jump.back)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_progress_mgr progress = {};
    progress.progress_monitor = limit_scans;
    cinfo.progress = &progress;
    // Without a backing store, a request past this ends decoding with an
    // error rather than taking the memory.
    cinfo.mem->max_memory_to_use = static_cast<long>(memory_limit);
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    cinfo.scale_num = 1;
    cinfo.scale_denom = denominator;
    cinfo.dct_method = JDCT_ISLOW;
    jpeg_start_decompress(&cinfo);
    const std::size_t row_size = std::size_t{cinfo.output_width} * 3;
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = pixels + row_size * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

bool encode_jpeg(const unsigned char* pixels, unsigned width, unsigned height, int quality, const char* comment,
                 const unsigned char* icc, unsigned icc_size, unsigned char** out, unsigned long* out_size)
{
    jpeg_compress_struct cinfo;
    ErrorJump jump;
    cinfo.err = &jump.manager;
    set_up(jump);
    *out = nullptr;
    *out_size = 0;
    if (setjmp(jump.back)) {
        // Only memory running out brings this here. The library's buffer is
        // then no longer the one *out names, and is given up.
        jpeg_destroy_compress(&cinfo);
        *out = nullptr;
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, out, out_size);
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    cinfo.dct_method = JDCT_ISLOW;
    cinfo.optimize_coding = TRUE;  // still baseline, and smaller
    jpeg_start_compress(&cinfo, TRUE);
    jpeg_write_marker(&cinfo, JPEG_COM, reinterpret_cast<const JOCTET*>(comment),
                      static_cast<unsigned>(std::strlen(comment)));
    if (icc)
        jpeg_write_icc_profile(&cinfo, icc, icc_size);
    const std::size_t row_size = std::size_t{width} * 3;
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<unsigned char*>(pixels) + row_size * cinfo.next_scanline;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

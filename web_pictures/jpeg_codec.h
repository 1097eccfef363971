// The JPEG library's decoding and encoding, as three plain calls that
// cannot throw and leave nothing behind: a damaged picture, which the
// library reports by an error or a warning, is an ordinary failure. Each
// call owns no buffer but what it says; the caller's outlive it.
#ifndef KORVEL_WEB_PICTURES_JPEG_CODEC_H
#define KORVEL_WEB_PICTURES_JPEG_CODEC_H

#include <cstddef>

// What a picture's header says.
struct JpegHeader {
    unsigned width = 0;
    unsigned height = 0;
    bool rgb_possible = false;     // gray or colour that the library gives as RGB (not CMYK)
    bool progressive = false;      // progressive, or of several scans: decoding keeps every coefficient
    int orientation = 1;           // from its EXIF block (exif_orientation.h)
    unsigned char* icc = nullptr;  // its colour profile, or null; the caller frees it with std::free
    unsigned icc_size = 0;
};

// Reads the header of the JPEG picture in data. Fails when it is no JPEG
// or its header is damaged; header.icc is then null.
bool read_jpeg_header(const unsigned char* data, std::size_t size, JpegHeader& header);

// The size the picture decodes to at 1/denominator (1, 2, 4 or 8).
void scaled_size(const JpegHeader& header, unsigned denominator, unsigned& width, unsigned& height);

// The most scans a picture may have: a progressive picture has about ten,
// and a hostile one that repeats a scan thousands of times would cost
// minutes, each scan a pass over the whole picture.
constexpr int kMostScans = 100;

// Decodes the picture at 1/denominator as RGB, three bytes a pixel, row
// after row, into pixels, which holds the scaled_size. Decoding needs at
// most memory_limit bytes of the library's own (a progressive picture
// keeps all its coefficients). Fails on any error or warning of the
// library (a damaged or truncated picture, too much memory), and for a
// picture of more than kMostScans scans, as soon as it gets there.
bool decode_jpeg(const unsigned char* data, std::size_t size, unsigned denominator, std::size_t memory_limit,
                 unsigned char* pixels);

// Encodes RGB pixels as a baseline JPEG of the quality given, with the
// comment and colour profile given (icc may be null) and nothing else of
// the picture's. *out is allocated with std::malloc, for the caller to free.
bool encode_jpeg(const unsigned char* pixels, unsigned width, unsigned height, int quality, const char* comment,
                 const unsigned char* icc, unsigned icc_size, unsigned char** out, unsigned long* out_size);

#endif

// The WebP library's lossy encoding, as one plain call that cannot throw
// and leaves nothing behind: the library's errors, memory among them, are
// an ordinary failure.
#ifndef KORVEL_WEB_PICTURES_WEBP_CODEC_H
#define KORVEL_WEB_PICTURES_WEBP_CODEC_H

#include <cstddef>
#include <string>
#include <string_view>

// The chunk that carries a WebP piece's mark, at the file's end.
constexpr const char* kWebpMarkChunk = "KRVL";

// Encodes RGB pixels, three bytes a pixel row after row, as a lossy WebP
// of the quality given, on the calling thread alone (the same bytes on
// every system), with the colour profile given (icc may be null) and the
// mark in a chunk of its own, and nothing else. Fails, with out empty, on
// any error of the library.
bool encode_webp(const unsigned char* pixels, unsigned width, unsigned height, int quality, const char* mark,
                 const unsigned char* icc, unsigned icc_size, std::string& out);

// True when bytes, a whole file, are a WebP that ends in the chunk of the
// mark as encode_webp writes it.
bool webp_carries_mark(std::string_view bytes, std::string_view mark);

#endif

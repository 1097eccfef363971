#include "web_pictures/webp_codec.h"

#include <cstdint>
#include <cstring>

#include <webp/encode.h>
#include <webp/mux.h>

namespace {

// Frees what the library gave, however the call ends.
struct WebpParts {
    WebPPicture picture;
    WebPMemoryWriter writer;
    WebPMux* mux = nullptr;
    WebPData assembled = {nullptr, 0};
    WebpParts()
    {
        WebPPictureInit(&picture);
        WebPMemoryWriterInit(&writer);
    }
    ~WebpParts()
    {
        WebPPictureFree(&picture);
        WebPMemoryWriterClear(&writer);
        WebPMuxDelete(mux);
        WebPDataClear(&assembled);
    }
    WebpParts(const WebpParts&) = delete;
    WebpParts& operator=(const WebpParts&) = delete;
};

bool encode_bitstream(const unsigned char* pixels, unsigned width, unsigned height, int quality, WebpParts& parts)
{
    WebPConfig config;
    if (!WebPConfigPreset(&config, WEBP_PRESET_PHOTO, static_cast<float>(quality)))
        return false;
    config.method = 4;
    config.thread_level = 0;  // one thread: the same bytes every time
    if (!WebPValidateConfig(&config) || width > WEBP_MAX_DIMENSION || height > WEBP_MAX_DIMENSION)
        return false;
    parts.picture.use_argb = 0;
    parts.picture.width = static_cast<int>(width);
    parts.picture.height = static_cast<int>(height);
    if (!WebPPictureImportRGB(&parts.picture, pixels, static_cast<int>(width * 3)))
        return false;
    parts.picture.writer = WebPMemoryWrite;
    parts.picture.custom_ptr = &parts.writer;
    return WebPEncode(&config, &parts.picture) != 0;
}

}  // namespace

bool encode_webp(const unsigned char* pixels, unsigned width, unsigned height, int quality, const char* mark,
                 const unsigned char* icc, unsigned icc_size, std::string& out)
{
    out.clear();
    try {
        WebpParts parts;
        if (!encode_bitstream(pixels, width, height, quality, parts))
            return false;
        const WebPData bitstream = {parts.writer.mem, parts.writer.size};
        parts.mux = WebPMuxNew();
        if (!parts.mux || WebPMuxSetImage(parts.mux, &bitstream, 0) != WEBP_MUX_OK)
            return false;
        const WebPData profile = {icc, icc_size};
        if (icc && WebPMuxSetChunk(parts.mux, "ICCP", &profile, 0) != WEBP_MUX_OK)
            return false;
        const WebPData marked = {reinterpret_cast<const std::uint8_t*>(mark), std::strlen(mark)};
        if (WebPMuxSetChunk(parts.mux, kWebpMarkChunk, &marked, 0) != WEBP_MUX_OK ||
            WebPMuxAssemble(parts.mux, &parts.assembled) != WEBP_MUX_OK)
            return false;
        out.assign(reinterpret_cast<const char*>(parts.assembled.bytes), parts.assembled.size);
        return true;
    } catch (...) {
        out = std::string();
        return false;
    }
}

bool webp_carries_mark(std::string_view bytes, std::string_view mark)
{
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WEBP") != 0)
        return false;
    // The chunk, padded to an even size, ends the file.
    const std::size_t padded = mark.size() + (mark.size() & 1);
    if (bytes.size() < 12 + 8 + padded)
        return false;
    const std::size_t at = bytes.size() - padded - 8;
    const unsigned char* size = reinterpret_cast<const unsigned char*>(bytes.data()) + at + 4;
    const std::uint32_t chunk_size = size[0] | size[1] << 8 | size[2] << 16 | std::uint32_t{size[3]} << 24;
    return bytes.compare(at, 4, kWebpMarkChunk) == 0 && chunk_size == mark.size() &&
           bytes.compare(at + 8, mark.size(), mark) == 0;
}

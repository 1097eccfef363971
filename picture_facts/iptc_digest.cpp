// The Photoshop resources are the APP13 segments' data after their
// "Photoshop 3.0" header, joined; libexiv2 finds a resource in them, and
// libmd computes the digest.
#include "picture_facts/iptc_digest.h"

#include <cstring>
#include <string>

#include <exiv2/exiv2.hpp>
#include <md5.h>

#include "picture_facts/metadata_reader.h"

namespace {

constexpr char kPhotoshop[] = "Photoshop 3.0";  // and its zero byte
constexpr unsigned kIptcBlock = 0x0404;
constexpr unsigned kIptcDigest = 0x0425;

// The picture's Photoshop resources, all its APP13 segments' worth.
std::string photoshop_resources(std::string_view jpeg)
{
    std::string resources;
    const std::string_view header(kPhotoshop, sizeof kPhotoshop);
    std::size_t at = 2;
    MetadataSegment segment;
    while (next_metadata_segment(jpeg, at, segment))
        if (segment.marker == 0xED && segment.data.substr(0, header.size()) == header)
            resources.append(segment.data.substr(header.size()));
    return resources;
}

// The data of resource tag, or false when there is none.
bool resource(const std::string& resources, unsigned tag, std::string_view& data)
{
    const Exiv2::byte* record = nullptr;
    std::uint32_t header = 0, size = 0;
    const auto* bytes = reinterpret_cast<const Exiv2::byte*>(resources.data());
    if (Exiv2::Photoshop::locateIrb(bytes, static_cast<long>(resources.size()), static_cast<std::uint16_t>(tag),
                                    &record, &header, &size) != 0)
        return false;
    const std::size_t from = static_cast<std::size_t>(record - bytes) + header;
    if (from > resources.size() || size > resources.size() - from)
        return false;
    data = std::string_view(resources).substr(from, size);
    return true;
}

}  // namespace

IptcDigest iptc_digest_of(std::string_view jpeg)
{
    const std::string resources = photoshop_resources(jpeg);
    std::string_view block, digest;
    if (resources.empty() || !resource(resources, kIptcDigest, digest) || digest.size() != MD5_DIGEST_LENGTH)
        return IptcDigest::none;
    if (!resource(resources, kIptcBlock, block))
        return IptcDigest::holds;
    MD5_CTX context;
    MD5Init(&context);
    MD5Update(&context, reinterpret_cast<const std::uint8_t*>(block.data()), block.size());
    std::uint8_t computed[MD5_DIGEST_LENGTH];
    MD5Final(computed, &context);
    return std::memcmp(computed, digest.data(), MD5_DIGEST_LENGTH) == 0 ? IptcDigest::holds : IptcDigest::stale;
}

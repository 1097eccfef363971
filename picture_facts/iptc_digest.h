// Whether a picture's IPTC block is as the photo manager that last wrote
// its XMP left it: the MD5 digest of the block, kept beside it in the
// picture's Photoshop resources (APP13), still matches the block. The
// XMP wins over the IPTC (the Metadata Working Group's rule, as exiftool
// reads it) unless such a digest no longer matches: then a program that
// knew only IPTC changed the block since, and IPTC wins.
#ifndef KORVEL_PICTURE_FACTS_IPTC_DIGEST_H
#define KORVEL_PICTURE_FACTS_IPTC_DIGEST_H

#include <string_view>

enum class IptcDigest {
    none,   // no digest is kept
    holds,  // one is kept, and matches the IPTC block (or there is no block)
    stale,  // one is kept, and the block changed since
};

// The IPTC digest of the JPEG whose first bytes (its metadata) are given.
IptcDigest iptc_digest_of(std::string_view jpeg);

#endif

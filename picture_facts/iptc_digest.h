// Whether a picture's IPTC block is as the photo manager that last wrote
// its XMP left it: the MD5 digest of the block, kept beside it in the
// picture's Photoshop resources (APP13), still matches the block. Then
// the XMP is current, and wins over the IPTC (the Metadata Working
// Group's rule); without a digest, or when it no longer matches, a
// program that knew only IPTC changed the block since, and IPTC wins.
#ifndef KORVEL_PICTURE_FACTS_IPTC_DIGEST_H
#define KORVEL_PICTURE_FACTS_IPTC_DIGEST_H

#include <string_view>

// True when the JPEG whose first bytes (its metadata) are given keeps an
// IPTC digest that matches its IPTC block, or keeps one and no block.
bool iptc_digest_holds(std::string_view jpeg);

#endif

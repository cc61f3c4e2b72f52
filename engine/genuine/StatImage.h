#pragma once
// The Stat image of a genuine file: the API's file spec, key segment specs and ACS blocks.
#include "FileControl.h"
#include "PageMap.h"

#include <cstdint>
#include <vector>

namespace engine::genuine {

using AcsBlock = std::vector<uint8_t>; // kAcsBlockSize bytes: signature, name, table

// The alternate collating sequences stored in the file: pre-6 physical page 1, 6.x and 8.x the
// pages of type 'A' in logical order. Identical blocks appear once; the FCR's default sequence
// comes first, so it is ACS number 0.
std::vector<AcsBlock> collectAcsBlocks(ByteSource& source, const FileControl& fcr, const PageMap& map);

// File spec (16 bytes), one 16-byte spec per segment, then the ACS blocks. The version byte
// (offset 5) is left 0; the caller adds it for Stat with key number -1.
std::vector<uint8_t> buildStatImage(const FileControl& fcr, const std::vector<AcsBlock>& acs);

} // namespace engine::genuine

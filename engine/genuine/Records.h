#pragma once
// Reading the live records of a genuine file in physical order.
#include "FileControl.h"
#include "PageMap.h"

#include <cstdint>
#include <vector>

namespace engine::genuine {

// Every live record of a fixed- or variable-length pre-6, 6.x or fixed-length 8.x file, whole
// (variable part appended). map must be loaded for 6.x and 8.x. 0 on success; 2 when the file is
// damaged: a slot layout that cannot be, a chain that loops or leaves the file, a fragment used
// twice, or a live-record count that differs from the FCR's.
int16_t readRecords(ByteSource& source, const FileControl& fcr, const PageMap& map,
                    std::vector<std::vector<uint8_t>>& records);

} // namespace engine::genuine

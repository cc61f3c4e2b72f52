#pragma once
// Key order as a genuine file's own index pages give it. Each key is a B-tree of nodes
// `[header][u16 count][4-byte rightmost child][count x (child, key bytes, record address[, last
// duplicate])]`, keys in inner nodes too; a key with linked duplicates has one entry per distinct
// value, heading a chain through the records' duplicate pointers.
#include "FileControl.h"
#include "GenuineFile.h"
#include "PageMap.h"
#include "Records.h"

#include <cstdint>
#include <vector>

namespace engine::genuine {

using KeyOrder = GenuineKeyOrder;

// One KeyOrder per key of the file. A tree is taken only when every page it reaches is an index
// page of its key (by the allocation table and its own header), the tree is balanced and holds no
// page twice, every record address names a record of set, every duplicate chain ends at the
// entry's last duplicate, and the entries are as many as the key's distinct values. Whether its
// order is the key's order is for the caller to check. set must hold every record (no damage).
// withKeys: each order's keys hold the key bytes of its entries too.
std::vector<KeyOrder> readKeyOrders(ByteSource& source, const FileControl& fcr, const PageMap& map,
                                    const RecordSet& set, bool withKeys = false);

} // namespace engine::genuine

#pragma once
// The rows that describe the dictionary files themselves (tables X$FILE, X$FIELD, X$INDEX),
// which a page's New puts into its record array and grid. FIELDEXT.DDF has none.
#include "CreationSpecs.h"
#include "RecordArray.h"
#include "Records.h"

#include <span>
#include <string_view>
#include <vector>

namespace dict {

// The names of a dictionary file's fields in record order ("Xf$Id", "Xf$Name", ...): the names
// the self-description gives them and the column titles of the file's grid.
std::span<const std::string_view> fieldNames(DictFile file);
// The field (its index in fieldNames) that holds byte `offset` of a record of the file; the
// last field for an offset beyond the fields.
std::size_t fieldAtOffset(DictFile file, std::size_t offset);

const std::vector<FileRecord>& fileSelfDescription();   // 3 records
const std::vector<FieldRecord>& fieldSelfDescription(); // 17 records
const std::vector<IndexRecord>& indexSelfDescription(); // 15 records

// New: reset the array (blanks for the file table, zeros for the others) and write the
// self-description into slots 0, 1, ...
void rebuildFileTable(RecordArray& fileTable);
void rebuildFieldTable(RecordArray& fieldTable);
void rebuildIndexTable(RecordArray& indexTable);

} // namespace dict

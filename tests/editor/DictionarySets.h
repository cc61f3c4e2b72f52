#pragma once
// Whole dictionary sets as records: written to the test directory through the record manager
// (the way another program would have left them) and read back, for tests that open a set in
// the window, work on it and compare what Build DDFs wrote, record for record.
#include "DictionaryIo.h"
#include "DictionaryOnDisk.h"
#include "Records.h"

#include <algorithm>
#include <string>
#include <vector>

namespace dictsets {

struct Set {
    std::vector<dict::FileRecord> files;
    std::vector<dict::FieldRecord> fields;
    std::vector<dict::IndexRecord> keys;
    std::vector<dict::FieldExtRecord> exts;
};

inline dict::FileRecord table(int16_t id, const std::string& name, const std::string& loc = {}, uint8_t flags = 0)
{
    dict::FileRecord r;
    r.id = id;
    r.name = name;
    r.loc = loc.empty() ? name + ".DAT" : loc;
    r.flags = flags;
    return r;
}

inline dict::FieldRecord field(int16_t id, int16_t file, const std::string& name, uint8_t type = 0, int16_t offset = 0,
                               int16_t size = 2, uint8_t dec = 0, int16_t flag = 0)
{
    return {id, file, name, type, offset, size, dec, flag};
}

// A record's bytes as the file holds them.
template <class Record> QByteArray bytesOf(const Record& record)
{
    QByteArray out(int(Record::kSize), '\0');
    record.encode({reinterpret_cast<uint8_t*>(out.data()), std::size_t(out.size())});
    return out;
}

template <class Record> std::vector<QByteArray> sortedBytes(const std::vector<Record>& records)
{
    std::vector<QByteArray> out;
    for (const Record& r : records)
        out.push_back(bytesOf(r));
    std::sort(out.begin(), out.end());
    return out;
}

inline std::vector<QByteArray> sortedFile(const char* name)
{
    std::vector<QByteArray> out = readThroughRecordManager(name).records;
    std::sort(out.begin(), out.end());
    return out;
}

// Writes one file of the set with its creation specification; `fieldNamesMayRepeat` makes
// FIELD.DDF's (Xe$File, Xe$Name) key take duplicates, as some dictionaries' files do.
template <class Record>
void writeFile(dict::DictFile file, const std::vector<Record>& records, bool fieldNamesMayRepeat = false)
{
    std::vector<uint8_t> create = dict::creationSpec(file).bytes;
    if (fieldNamesMayRepeat)
        for (int segment : {3, 4})
            create[std::size_t(16 + 16 * segment + 4)] |= 1;
    std::vector<QByteArray> bytes;
    for (const Record& r : records)
        bytes.push_back(bytesOf(r));
    const int status = createThroughRecordManager(dict::creationSpec(file).fileName, create, bytes);
    ASSERT_EQ(status, 0) << dict::creationSpec(file).fileName;
}

inline void writeSet(const Set& set, bool fieldNamesMayRepeat = false)
{
    writeFile(dict::DictFile::File, set.files);
    writeFile(dict::DictFile::Field, set.fields, fieldNamesMayRepeat);
    writeFile(dict::DictFile::Index, set.keys);
    writeFile(dict::DictFile::FieldExt, set.exts);
}

} // namespace dictsets

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

// How the files of a set are laid out where they differ from the editor's own: FILE.DDF's
// record length (87 in old dictionaries) and every file's page size (0: as the editor makes it).
struct Layout {
    uint16_t fileRecordLength = 97;
    uint16_t pageSize = 0;
};

// Writes one file of the set with its creation specification; `fieldNamesMayRepeat` makes
// FIELD.DDF's (Xe$File, Xe$Name) key take duplicates, as some dictionaries' files do.
template <class Record>
void writeFile(dict::DictFile file, const std::vector<Record>& records, bool fieldNamesMayRepeat = false,
               Layout layout = {})
{
    std::vector<uint8_t> create = dict::creationSpec(file).bytes;
    if (fieldNamesMayRepeat && file == dict::DictFile::Field)
        for (int segment : {3, 4})
            create[std::size_t(16 + 16 * segment + 4)] |= 1;
    if (file == dict::DictFile::File)
        create[0] = uint8_t(layout.fileRecordLength);
    if (layout.pageSize) {
        create[2] = uint8_t(layout.pageSize & 0xFF);
        create[3] = uint8_t(layout.pageSize >> 8);
    }
    std::vector<QByteArray> bytes;
    for (const Record& r : records)
        bytes.push_back(bytesOf(r));
    const int status = createThroughRecordManager(dict::creationSpec(file).fileName, create, bytes);
    ASSERT_EQ(status, 0) << dict::creationSpec(file).fileName;
}

inline void writeSet(const Set& set, bool fieldNamesMayRepeat = false, Layout layout = {})
{
    writeFile(dict::DictFile::File, set.files, false, layout);
    writeFile(dict::DictFile::Field, set.fields, fieldNamesMayRepeat, layout);
    writeFile(dict::DictFile::Index, set.keys, false, layout);
    writeFile(dict::DictFile::FieldExt, set.exts, false, layout);
}

// A file's layout as Stat gives it, without what only Stat reports (record count, unused pages,
// distinct key values): record length, page size, flags and every key segment.
inline QByteArray layoutOnDisk(const std::string& fileName)
{
    QByteArray stat = readThroughRecordManager(fileName).stat;
    if (stat.isEmpty())
        return stat;
    int segments = 0;
    for (int key = 0; key < uint8_t(stat[4]); ++segments)
        key += !(uint8_t(stat[16 + 16 * segments + 4]) & 0x10);
    stat.truncate(16 + 16 * segments);
    for (int at : {6, 7, 8, 9, 14, 15})
        stat[at] = 0;
    for (int i = 0; i < segments; ++i)
        for (int at = 6; at < 10; ++at)
            stat[16 + 16 * i + at] = 0;
    return stat;
}

} // namespace dictsets

#include "DictionarySet.h"

#include "BuildReport.h"
#include "DictionaryIo.h"
#include "Status.h"
#include "Text.h"

#include <algorithm>
#include <array>
#include <utility>

namespace dict {
namespace {

template <typename Record>
std::string readAll(DictFile file, RecordArray array, std::vector<Record>& records, bool* absent = nullptr)
{
    std::size_t count = 0;
    int stoppedBy = btr::StatusEndOfFile;
    const int status = readDictionaryFile(file, array, count, &stoppedBy);
    const char* name = creationSpec(file).fileName;
    if (status != btr::StatusSuccess) {
        if (absent && status == btr::StatusFileNotFound) {
            *absent = true;
            return {};
        }
        return std::string(name) + " cannot be opened: " + statusText(status) + ".";
    }
    if (stoppedBy != btr::StatusEndOfFile)
        return readStoppedText(name, count, stoppedBy);
    records.clear();
    records.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        records.push_back(Record::decode(std::as_const(array).slot(i)));
    return {};
}

std::vector<std::string> flagWords(unsigned flags, const std::string_view* words, std::size_t count)
{
    std::vector<std::string> out;
    for (unsigned bit = 0; bit < 16; ++bit) {
        if (!(flags & (1u << bit)))
            continue;
        out.push_back(bit < count ? std::string(words[bit]) : "bit " + std::to_string(bit));
    }
    return out;
}

} // namespace

std::string readDictionarySet(DictionarySet& set)
{
    set = DictionarySet{};
    if (std::string e = readAll(DictFile::File, makeFileTableArray(), set.files); !e.empty())
        return e;
    if (std::string e = readAll(DictFile::Field, makeFieldTableArray(), set.fields); !e.empty())
        return e;
    // A set without INDEX.DDF describes tables without keys, as the window opens it.
    bool noIndexes = false;
    if (std::string e = readAll(DictFile::Index, makeIndexTableArray(), set.indexes, &noIndexes); !e.empty())
        return e;
    set.hasIndexes = !noIndexes;
    bool absent = false;
    if (std::string e = readAll(DictFile::FieldExt, makeExtTableArray(), set.extensions, &absent); !e.empty())
        return e;
    set.hasExtensions = !absent;
    return {};
}

namespace {

// Makes a directory the process's current one for a scope: the dictionary files are named
// without a directory and resolve against it.
class CurrentDir {
public:
    explicit CurrentDir(const std::filesystem::path& dir) : mOld(std::filesystem::current_path())
    {
        std::filesystem::current_path(dir);
    }
    ~CurrentDir()
    {
        std::error_code ec;
        std::filesystem::current_path(mOld, ec);
    }

private:
    std::filesystem::path mOld;
};

} // namespace

std::string readDictionarySetIn(const std::filesystem::path& dir, DictionarySet& set)
{
    std::string error;
    try {
        CurrentDir here(dir);
        error = readDictionarySet(set);
    } catch (const std::filesystem::filesystem_error& e) {
        return dir.string() + ": " + e.code().message();
    }
    return error.empty() ? error : (dir / error).string();
}

std::filesystem::path dataFilePath(const std::filesystem::path& dir, const TableDef& table)
{
    namespace fs = std::filesystem;
    const auto resolved = [&](const std::string& location) {
        const fs::path loc(location);
        return loc.is_absolute() ? loc : dir / loc;
    };
    const fs::path stored = resolved(table.storedLocation);
    std::error_code ec;
    if (table.location != table.storedLocation && !fs::exists(stored, ec)) {
        const fs::path converted = resolved(table.location);
        if (fs::exists(converted, ec))
            return converted;
    }
    return stored;
}

bool KeyDef::duplicates() const
{
    return std::any_of(segments.begin(), segments.end(),
                       [](const KeySegmentDef& s) { return s.record.flags & KeyDuplicates; });
}

Tables::Tables(const DictionarySet& set, const CodePage& page)
{
    mTables.reserve(set.files.size());
    for (const FileRecord& f : set.files) {
        TableDef t;
        t.record = f;
        t.name = page.decode(trimmedName(f.name));
        t.storedLocation = trimmedName(f.loc);
        t.location = page.decode(t.storedLocation);
        for (const FieldRecord& r : set.fields) {
            if (r.file != f.id)
                continue;
            FieldDef d;
            d.record = r;
            d.name = page.decode(trimmedName(r.name));
            for (const FieldExtRecord& x : set.extensions)
                if (x.file == f.id && x.id == r.id)
                    d.extendedType = x.dataType;
            t.fields.push_back(std::move(d));
        }
        std::stable_sort(t.fields.begin(), t.fields.end(), [](const FieldDef& a, const FieldDef& b) {
            return a.record.offset != b.record.offset ? a.record.offset < b.record.offset
                                                      : a.record.id < b.record.id;
        });
        mTables.push_back(std::move(t));
    }
    // Keys once every table's fields are in place, so that segments can point at them.
    for (TableDef& t : mTables) {
        for (const IndexRecord& r : set.indexes) {
            if (r.file != t.record.id)
                continue;
            auto key = std::find_if(t.keys.begin(), t.keys.end(),
                                    [&](const KeyDef& k) { return k.number == r.number; });
            if (key == t.keys.end()) {
                t.keys.push_back(KeyDef{r.number, {}});
                key = t.keys.end() - 1;
            }
            KeySegmentDef s{r, nullptr};
            for (const FieldDef& f : t.fields)
                if (f.record.id == r.field)
                    s.field = &f;
            key->segments.push_back(s);
        }
        std::stable_sort(t.keys.begin(), t.keys.end(),
                         [](const KeyDef& a, const KeyDef& b) { return a.number < b.number; });
        for (KeyDef& k : t.keys)
            std::stable_sort(
                k.segments.begin(), k.segments.end(),
                [](const KeySegmentDef& a, const KeySegmentDef& b) { return a.record.part < b.record.part; });
    }
}

const TableDef* Tables::find(std::string_view name) const
{
    const std::string wanted = trimmedName(name);
    for (const TableDef& t : mTables)
        if (text::equalIgnoringAsciiCase(t.name, wanted))
            return &t;
    return nullptr;
}

std::string trimmedName(std::string_view name)
{
    return std::string(text::withoutTrailingBlanks(name.substr(0, name.find('\0'))));
}

std::vector<std::string> fileFlagWords(unsigned flags)
{
    return flagWords(flags, btr::kFileFlagCaptions.data(), btr::kFileFlagCaptions.size());
}

std::vector<std::string> keyFlagWords(unsigned flags)
{
    return flagWords(flags, btr::kKeyFlagCaptions.data(), btr::kKeyFlagCaptions.size());
}

bool isDictionaryFileLocation(std::string_view location)
{
    std::string name = trimmedName(location);
    const std::size_t slash = name.find_last_of("/\\");
    if (slash != std::string::npos)
        name.erase(0, slash + 1);
    for (DictFile f : {DictFile::File, DictFile::Field, DictFile::Index, DictFile::FieldExt})
        if (text::equalIgnoringAsciiCase(name, creationSpec(f).fileName))
            return true;
    return false;
}

} // namespace dict

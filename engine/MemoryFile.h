#pragma once
// A genuine file written by a real record manager, open read-only. Stat comes from the
// reader's statistics; the records are read on the first record operation and kept in memory,
// each key path as the record numbers sorted by key image (null keys left out). A key path is
// taken from the order the file's index pages give when that order holds every record with a
// non-null key once, ascending by key image: then equal keys of a key with duplicates come in the
// order of the file's duplicate chains (the order they were inserted in), and without the index
// pages in physical order. Addresses are physical record numbers counted from 1; on a key with
// duplicates, a record's sequence is its entry's place on the path.
//
// A file with damaged pages: Step operations go through the sound records in physical order and
// answer 2 once at the place of each damaged page (FoundRecord::skippedPage), addresses then
// counting those places too; every other read answers 2. Where a pre-6 deleted-record chain
// broke, the place also tells how many records returned could be deleted ones; a file cut short
// has a last place saying so.
//
// A file whose records are not as many as its control record counts answers 4101 wherever the
// end of the records would answer 9, in physical and in key order.
#include "FileBackend.h"
#include "GenuineFile.h"

#include <functional>
#include <memory>

namespace engine {

// Reads the records of a genuine file, skipping damaged pages, with the key orders its index
// pages give (see readGenuineRecords).
using GenuineRecordReader =
    std::function<int16_t(const std::string&, const GenuineInfo&, std::vector<std::vector<uint8_t>>&,
                          std::vector<GenuineDamage>&, std::vector<GenuineKeyOrder>&)>;

// Reads a genuine file without its records (see GenuineIndex); null when it cannot be.
using GenuineIndexOpener =
    std::function<std::unique_ptr<GenuineIndex>(const std::string&, const GenuineInfo&)>;

class MemoryFile final : public FileBackend {
public:
    // 0, or 30 when the reader's statistics cannot be understood. With indexOpener, the first key
    // read tries to do without reading the records: where the file's index pages give a key's
    // path, records are read one at a time as they are reached (each bearing out its entry, else
    // the file is read whole after all).
    static int16_t open(const std::string& path, GenuineInfo info, GenuineRecordReader reader,
                        std::unique_ptr<MemoryFile>& out, GenuineIndexOpener indexOpener = nullptr);

    const FileDefinition& definition() const override { return mDef; }
    bool writable() const override { return false; }
    int16_t stat(bool withVersion, std::vector<uint8_t>& image) override;
    int16_t seekKey(size_t keyIndex, KeySeek how, const std::string& image, const KeyEntry& from,
                    FoundRecord& out) override;
    int16_t step(StepSeek how, uint32_t from, FoundRecord& out) override;
    int16_t read(uint32_t address, FoundRecord& out) override;
    std::string refusal() const override { return mInfo.reason; }
    int16_t sequenceOf(uint32_t address, size_t keyIndex, int64_t& sequence) override;
    int16_t highestImage(size_t keyIndex, std::string& image, bool& found) override;
    int16_t insert(const std::vector<uint8_t>&, const RecordImages&, uint32_t&, int64_t&) override;
    int16_t update(uint32_t, const std::vector<uint8_t>&, const RecordImages&) override;
    int16_t remove(uint32_t) override;
    int16_t close() override { return 0; }

private:
    struct Path {
        bool built = false;
        std::vector<std::pair<std::string, uint32_t>> entries; // (image, record index), in key order
        size_t last = 0; // the entry a look-up on the path returned last: where Get Next looks first
        std::vector<uint32_t> places; // by record index, its entry's place (made when first asked)
    };
    int16_t load();
    int16_t path(size_t keyIndex, Path*& out);
    bool pathFromIndexPages(size_t keyIndex, Path& p) const;
    bool pathFromIndex(size_t keyIndex, Path& p);
    bool indexed();
    const std::vector<uint8_t>* recordAt(size_t index);
    void readWholeWhenCheaper();
    bool found(size_t keyIndex, const Path& path, size_t at, FoundRecord& out);
    int16_t endOfRecords() const;

    std::string mPath;
    GenuineInfo mInfo;
    GenuineRecordReader mReader;
    FileDefinition mDef;
    bool mLoaded = false;
    int16_t mLoadStatus = 0;
    bool mCountDiffers = false;
    std::vector<std::vector<uint8_t>> mRecords;
    std::vector<GenuineDamage> mDamaged;
    std::vector<GenuineKeyOrder> mKeyOrders; // dropped once each key's path is built
    // Before the records are read (mLoaded false): the file read without them, mRecords then
    // holding the records fetched so far.
    GenuineIndexOpener mIndexOpener;
    std::unique_ptr<GenuineIndex> mIndex;
    bool mIndexTried = false;
    std::vector<bool> mFetched;
    size_t mFetches = 0;
    std::vector<uint8_t> mKeyValue;
    // With damaged pages: physical order, a record index or -1 - the index of a damaged page.
    std::vector<int64_t> mSequence;
    std::vector<Path> mPaths;
};

// True when order (indexes into records) is key's path: every record whose key is not null
// exactly once, ascending by key image (equal images, on a key without duplicates, by record
// index); entries then hold that path.
bool keyPathFromOrder(const KeyDefinition& key, const std::vector<std::vector<uint8_t>>& records,
                      const std::vector<uint32_t>& order,
                      std::vector<std::pair<std::string, uint32_t>>& entries);

// Key value of a record: pads records shorter than the key's extent with zeros first.
void recordKey(const KeyDefinition& key, const std::vector<uint8_t>& record, std::vector<uint8_t>& keyValue);

} // namespace engine

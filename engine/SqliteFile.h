#pragma once
// A native file: one SQLite database per record-manager file. Owns the connection, the
// statements it prepares (cached, one set per key path), the open write transaction and the
// scans that serve consecutive Get Next / Step Next calls without a new search each time.
// The schema is described in docs/native-format.md.
#include "FileBackend.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace engine {

class SqliteFile final : public FileBackend {
public:
    // True when the first bytes of a file (at least 16) are those of an SQLite database.
    static bool isSqliteHeader(const uint8_t* header, size_t length);

    // Opens a native file. 0; 30 when it is an SQLite database of another program or its
    // schema is not the one this engine writes; 2 when it is damaged or cannot be read.
    static int16_t open(const std::string& path, std::unique_ptr<SqliteFile>& out);

    // Writes a new, empty native file at `path`, which must not exist. 0 or 25. `unsynced`: for
    // a private file (isPrivateFileName), which its caller syncs before anyone else sees it.
    static int16_t create(const std::string& path, const FileDefinition& def, bool unsynced = false);

    ~SqliteFile() override;

    const FileDefinition& definition() const override { return mDef; }
    bool writable() const override { return mWritable; }
    int16_t stat(bool withVersion, std::vector<uint8_t>& image) override;
    int16_t seekKey(size_t keyIndex, KeySeek how, const std::string& image, const KeyEntry& from,
                    FoundRecord& out) override;
    int16_t step(StepSeek how, uint32_t from, FoundRecord& out) override;
    int16_t read(uint32_t address, FoundRecord& out) override;
    int16_t sequenceOf(uint32_t address, size_t keyIndex, int64_t& sequence) override;
    int16_t highestImage(size_t keyIndex, std::string& image, bool& found) override;
    int16_t insert(const std::vector<uint8_t>& record, const RecordImages& images, uint32_t& address,
                   int64_t& sequence) override;
    int16_t update(uint32_t address, const std::vector<uint8_t>& record, const RecordImages& images) override;
    int16_t remove(uint32_t address) override;
    void maybeCommit() override;
    int16_t close() override;

    // The version byte Stat reports for native files with key number -1.
    static constexpr uint8_t kVersion = 0x70;

private:
    class Statement;
    // A running scan: the statement stays stepped between calls while the caller keeps asking
    // for the entry right after (or before) the last one returned and nothing was written.
    struct Scan {
        Statement* statement = nullptr;
        size_t key = 0;
        KeyEntry last;
        uint32_t lastAddress = 0;
        uint64_t generation = 0;
    };
    struct KeyStatements;

    SqliteFile() = default;
    int16_t begin();
    int16_t commit();
    int16_t noteWrite();
    void stopScans();
    int16_t validateSchema();
    int16_t fetch(Statement& st, size_t keyIndex, FoundRecord& out);
    // The statement in `slot`, prepared from makeSql() the first time.
    template <class MakeSql> Statement& statement(std::unique_ptr<Statement>& slot, MakeSql&& makeSql);
    KeyStatements& keyStatements(size_t keyIndex);
    int16_t bindImages(Statement& st, int firstParameter, const RecordImages& images);

    sqlite3* mDb = nullptr;
    std::string mPath;
    FileDefinition mDef;
    bool mWritable = false;
    bool mInTransaction = false;
    bool mFailed = false;
    bool mPrivate = false; // a file nobody else sees yet: one transaction until Close, no syncs
    uint64_t mNextStamp = 1; // next address / duplicate sequence
    uint64_t mStoredStamp = 0;
    uint64_t mGeneration = 1; // changes on every write; scans of an older generation restart
    int mPendingWrites = 0;
    int64_t mTransactionStart = 0; // coarseMilliseconds() at BEGIN
    std::vector<std::unique_ptr<KeyStatements>> mKeyStatements;
    std::unique_ptr<Statement> mStepFirst, mStepLast, mStepAfter, mStepBefore, mRead, mInsert, mUpdate,
        mDelete, mCount, mSaveStamp;
    Scan mForward, mBackward, mStepForward, mStepBackward;
};

} // namespace engine

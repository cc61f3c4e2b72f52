// The embedded record manager's dispatcher: the table of open files and handles behind the
// position blocks, the operation codes and their rules (positions, buffers, key numbers), and
// Open and Create. Storage is left to the backends (SqliteFile, MemoryFile).
#include "BtrCall.h"
#include "EngineHooks.h"
#include "FileNames.h"
#include "MemoryFile.h"
#include "SqliteFile.h"
#include "Status.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace engine {
namespace {

using namespace btr;

constexpr uint32_t kBlockMagic = 0x42504551; // "QEPB"
constexpr size_t kMaxRecordLength = 16u << 20;

// One file open in the engine, shared by every handle that opened it.
struct OpenFile {
    std::unique_ptr<FileBackend> backend;
    std::pair<dev_t, ino_t> id;
    int handles = 0;
    bool exclusive = false;
};

struct Position {
    bool logical = false; // a place on a key path
    size_t keyIndex = 0;
    KeyEntry entry;
    bool stepped = false; // a physical place; before the first record while false
    uint32_t physical = 0;
    bool current = false; // a record Update, Delete and Get Position work on
    uint32_t currentAddress = 0;
};

struct Handle {
    std::shared_ptr<OpenFile> file;
    bool readOnly = false;
    Position pos;
};

struct Call {
    void* dataBuffer;
    uint32_t* dataLength;
    void* keyBuffer;
    uint8_t keyLength;
    int8_t keyNumber;
};

// The text of `why` in the caller's data buffer, as much of it as the caller's data length has
// room for, and the data length set to the bytes written. Nothing without a buffer.
void putReason(const Call& c, const std::string& why)
{
    if (!c.dataBuffer || !c.dataLength)
        return;
    const uint32_t n = static_cast<uint32_t>(std::min<size_t>(why.size(), *c.dataLength));
    std::memcpy(c.dataBuffer, why.data(), n);
    *c.dataLength = n;
}

class Engine {
public:
    ~Engine()
    {
        // Files left open at exit keep what was written to them.
        for (auto& slot : mSlots)
            slot.handle.reset();
        for (auto& [id, weak] : mFiles)
            if (auto f = weak.lock())
                f->backend->close();
    }

    int16_t call(uint16_t operation, void* positionBlock, const Call& c);

    GenuineOpener genuineOpener;
    GenuineRecordReader genuineReader;
    std::mutex mutex;

private:
    struct Slot {
        uint32_t generation = 1;
        std::unique_ptr<Handle> handle;
    };

    Handle* handleFor(const void* positionBlock);
    int16_t open(void* positionBlock, const Call& c);
    int16_t close(void* positionBlock);
    int16_t create(const Call& c);
    int16_t dispatch(Handle& h, uint16_t op, bool keyOnly, const Call& c);
    int16_t dispatchOperation(Handle& h, uint16_t op, bool keyOnly, const Call& c);
    int16_t getByKey(Handle& h, uint16_t op, bool keyOnly, const Call& c);
    int16_t stepRecord(Handle& h, uint16_t op, const Call& c);
    int16_t insert(Handle& h, const Call& c);
    int16_t update(Handle& h, const Call& c);
    int16_t remove(Handle& h, const Call& c);
    int16_t getPosition(Handle& h, const Call& c);
    int16_t getDirect(Handle& h, const Call& c);
    int16_t stat(Handle& h, const Call& c);

    int16_t takeRecord(const FileDefinition& def, const Call& c, std::vector<uint8_t>& record);
    int16_t keyIndexFor(const FileDefinition& def, const Call& c, int& keyIndex, bool allowKeep);
    void imagesOf(const FileDefinition& def, const std::vector<uint8_t>& record, RecordImages& images);
    int16_t fillAutoIncrement(FileBackend& backend, std::vector<uint8_t>& record);
    int16_t deliver(const FileDefinition& def, FoundRecord& found, const Call& c, int keyIndex, bool keyOnly);
    int16_t entryOf(FileBackend& backend, size_t keyIndex, uint32_t address,
                    const std::vector<uint8_t>& record, Position& pos);
    std::shared_ptr<OpenFile> findOpen(std::pair<dev_t, ino_t> id);

    std::vector<Slot> mSlots;
    std::vector<size_t> mFreeSlots;
    std::map<std::pair<dev_t, ino_t>, std::weak_ptr<OpenFile>> mFiles;
    FoundRecord mFound;
    std::vector<uint8_t> mRecord, mKeyValue;
};

Engine& theEngine()
{
    static Engine engine;
    return engine;
}

uint32_t load32(const void* p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

void store32(void* p, uint32_t v)
{
    std::memcpy(p, &v, 4);
}

// Update and Delete need a file open for writing and a current record.
int16_t changeableCurrentRecord(const Handle& h)
{
    if (h.readOnly || !h.file->backend->writable())
        return StatusAccessDenied;
    return h.pos.current ? int16_t(StatusSuccess) : int16_t(StatusInvalidPositioning);
}

// The record at the current position, at least a fixed part long, for Update and Delete; a record
// that went away since it was positioned on gives 8.
int16_t readCurrent(FileBackend& backend, const Position& pos, FoundRecord& record)
{
    if (int16_t st = backend.read(pos.currentAddress, record))
        return st == StatusInvalidRecordAddress ? int16_t(StatusInvalidPositioning) : st;
    const size_t fixedLength = backend.definition().recordLength;
    if (record.data.size() < fixedLength)
        record.data.resize(fixedLength, 0);
    return StatusSuccess;
}

bool isReadOperation(uint16_t op)
{
    return (op >= OpGetEqual && op <= OpGetLast) || op == OpGetDirect || op == OpStepNext ||
           op == OpStepFirst || op == OpStepLast || op == OpStepPrevious;
}

std::shared_ptr<OpenFile> Engine::findOpen(std::pair<dev_t, ino_t> id)
{
    auto it = mFiles.find(id);
    if (it == mFiles.end())
        return nullptr;
    auto f = it->second.lock();
    if (!f)
        mFiles.erase(it);
    return f;
}

Handle* Engine::handleFor(const void* positionBlock)
{
    if (!positionBlock)
        return nullptr;
    const auto* p = static_cast<const uint8_t*>(positionBlock);
    if (load32(p) != kBlockMagic)
        return nullptr;
    const uint32_t index = load32(p + 4);
    if (index >= mSlots.size() || !mSlots[index].handle || mSlots[index].generation != load32(p + 8))
        return nullptr;
    return mSlots[index].handle.get();
}

int16_t Engine::call(uint16_t operation, void* positionBlock, const Call& c)
{
    uint16_t op = operation;
    bool biased = false, keyOnly = false;
    if (op >= 100) {
        if (op >= 500)
            return StatusInvalidOperation;
        op %= 100;
        biased = true;
    }
    if (op >= 50) {
        op -= 50;
        keyOnly = true;
        if (op < OpGetEqual || op > OpGetLast)
            return StatusInvalidOperation;
    }
    if (biased && !isReadOperation(op))
        return StatusInvalidOperation;

    switch (op) {
    case OpOpen:
        return open(positionBlock, c);
    case OpCreate:
        return create(c);
    case OpClose:
        return close(positionBlock);
    default:
        break;
    }
    const bool known = (op >= OpInsert && op <= OpStat) || op == OpGetPosition || op == OpGetDirect ||
                       op == OpStepNext || (op >= OpStepFirst && op <= OpStepPrevious);
    if (!known)
        return StatusInvalidOperation;
    Handle* h = handleFor(positionBlock);
    if (!h)
        return StatusFileNotOpen;
    const int16_t status = dispatch(*h, op, keyOnly, c);
    h->file->backend->maybeCommit();
    return status;
}

int16_t Engine::dispatch(Handle& h, uint16_t op, bool keyOnly, const Call& c)
{
    const int16_t st = dispatchOperation(h, op, keyOnly, c);
    // A read refused as a layout this engine cannot read says why in the data buffer.
    if (st == StatusLayoutNotReadable)
        putReason(c, h.file->backend->refusal());
    return st;
}

int16_t Engine::dispatchOperation(Handle& h, uint16_t op, bool keyOnly, const Call& c)
{
    switch (op) {
    case OpInsert:
        return insert(h, c);
    case OpUpdate:
        return update(h, c);
    case OpDelete:
        return remove(h, c);
    case OpStat:
        return stat(h, c);
    case OpGetPosition:
        return getPosition(h, c);
    case OpGetDirect:
        return getDirect(h, c);
    case OpStepNext:
    case OpStepPrevious:
    case OpStepFirst:
    case OpStepLast:
        return stepRecord(h, op, c);
    default:
        return getByKey(h, op, keyOnly, c);
    }
}

int16_t Engine::open(void* positionBlock, const Call& c)
{
    if (!positionBlock)
        return StatusFileNotOpen;
    const int mode = c.keyNumber;
    if (mode > btr::OpenNormal || mode < btr::OpenExclusive)
        return StatusIncompatibleMode;
    const std::string name = nameFromKeyBuffer(c.keyBuffer, c.keyLength);
    if (name.empty())
        return StatusInvalidFileName;
    const auto path = findFileToOpen(name);
    if (!path)
        return StatusFileNotFound;
    struct stat st {};
    if (::stat(path->c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return StatusFileNotFound;
    const std::pair<dev_t, ino_t> id{st.st_dev, st.st_ino};
    const bool exclusive = mode == btr::OpenExclusive;

    std::shared_ptr<OpenFile> file = findOpen(id);
    if (file) {
        if (file->exclusive || exclusive)
            return StatusIncompatibleMode;
    } else {
        const int fd = ::open(path->c_str(), O_RDONLY);
        if (fd < 0)
            return errno == EACCES ? StatusAccessDenied : StatusIoError;
        uint8_t header[16] = {};
        const ssize_t got = ::read(fd, header, sizeof header);
        ::close(fd);
        if (got < 0)
            return StatusIoError;
        std::unique_ptr<FileBackend> backend;
        if (SqliteFile::isSqliteHeader(header, static_cast<size_t>(got))) {
            std::unique_ptr<SqliteFile> native;
            if (int16_t s = SqliteFile::open(*path, native))
                return s;
            backend = std::move(native);
        } else {
            GenuineInfo info;
            const int16_t s = genuineOpener ? genuineOpener(*path, info) : openGenuineFile(*path, info);
            if (s == StatusLayoutNotReadable)
                putReason(c, info.reason); // a control record of the format that cannot be followed
            if (s != StatusSuccess)
                return s == StatusIoError || s == StatusLayoutNotReadable ? s : int16_t(StatusNotBtrieveFile);
            std::unique_ptr<MemoryFile> genuine;
            GenuineRecordReader reader =
                genuineReader ? genuineReader
                              : GenuineRecordReader([](const std::string& p, const GenuineInfo& i,
                                                       std::vector<std::vector<uint8_t>>& records,
                                                       std::vector<GenuineDamage>& damaged,
                                                       std::vector<GenuineKeyOrder>& keyOrders) {
                                    return readGenuineRecords(p, i, records, &damaged, &keyOrders);
                                });
            GenuineIndexOpener indexOpener;
            if (!genuineReader)
                indexOpener = [](const std::string& p, const GenuineInfo& i) {
                    return GenuineIndex::open(p, i);
                };
            if (int16_t s2 = MemoryFile::open(*path, std::move(info), std::move(reader), genuine,
                                              std::move(indexOpener)))
                return s2;
            backend = std::move(genuine);
        }
        file = std::make_shared<OpenFile>();
        file->backend = std::move(backend);
        file->id = id;
        mFiles[id] = file;
    }
    file->exclusive = file->exclusive || exclusive;
    ++file->handles;

    size_t index;
    if (!mFreeSlots.empty()) {
        index = mFreeSlots.back();
        mFreeSlots.pop_back();
    } else {
        index = mSlots.size();
        mSlots.emplace_back();
    }
    auto handle = std::make_unique<Handle>();
    handle->file = file;
    handle->readOnly = mode == btr::OpenReadOnly;
    mSlots[index].handle = std::move(handle);
    auto* p = static_cast<uint8_t*>(positionBlock);
    store32(p, kBlockMagic);
    store32(p + 4, static_cast<uint32_t>(index));
    store32(p + 8, mSlots[index].generation);
    return StatusSuccess;
}

int16_t Engine::close(void* positionBlock)
{
    Handle* h = handleFor(positionBlock);
    if (!h)
        return StatusFileNotOpen;
    const uint32_t index = load32(static_cast<uint8_t*>(positionBlock) + 4);
    std::shared_ptr<OpenFile> file = std::move(h->file);
    mSlots[index].handle.reset();
    ++mSlots[index].generation;
    mFreeSlots.push_back(index);
    std::memset(positionBlock, 0, 12);
    int16_t status = StatusSuccess;
    if (--file->handles == 0) {
        status = file->backend->close();
        mFiles.erase(file->id);
    }
    return status;
}

int16_t Engine::create(const Call& c)
{
    const std::string given = nameFromKeyBuffer(c.keyBuffer, c.keyLength);
    if (given.empty())
        return StatusInvalidFileName;
    const std::string name = nameToCreate(given);
    if (!c.dataBuffer || !c.dataLength)
        return StatusDataBufferTooShort;
    FileDefinition def;
    if (int16_t s = parseCreateSpec(static_cast<const uint8_t*>(c.dataBuffer), *c.dataLength, def))
        return s;

    namespace fs = std::filesystem;
    const auto existing = findExistingFile(name);
    if (existing && c.keyNumber == -1)
        return StatusFileAlreadyExists;
    // A private file is made to replace another (privateFileTarget): that one is checked as a
    // Create of its own name would check it; the private file itself is simply replaced.
    const auto guarded = isPrivateFileName(name) ? findExistingFile(privateFileTarget(name)) : existing;
    if (guarded) {
        const auto& existing = guarded;
        struct stat st {};
        if (::stat(existing->c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            return StatusCreateIoError;
        if (findOpen({st.st_dev, st.st_ino}))
            return StatusIncompatibleMode; // open here: replacing it would strand its handles
        uint8_t header[64] = {};
        ssize_t got = 0;
        if (int fd = ::open(existing->c_str(), O_RDONLY); fd >= 0) {
            got = ::read(fd, header, sizeof header);
            ::close(fd);
        }
        const size_t headerLength = got > 0 ? static_cast<size_t>(got) : 0;
        if (!SqliteFile::isSqliteHeader(header, headerLength)) {
            // A genuine file is never overwritten, even one too damaged to open.
            GenuineInfo info;
            const int16_t s =
                genuineOpener ? genuineOpener(*existing, info) : openGenuineFile(*existing, info);
            if (s == StatusSuccess || looksLikeGenuineFile(header, headerLength))
                return StatusAccessDenied;
        }
    }

    // Build the new file beside the target and move it over, so a refused or failed Create
    // leaves the old file as it was.
    const fs::path target(name);
    std::string tempName = ".";
    tempName += target.filename().string();
    tempName += ".quillan-new-";
    tempName += std::to_string(::getpid());
    const fs::path temp = target.parent_path() / tempName;
    std::error_code ec;
    fs::remove(temp, ec);
    fs::remove(temp.string() + "-journal", ec);
    if (int16_t s = SqliteFile::create(temp.string(), def, isPrivateFileName(name)))
        return s;
    // A journal left by an earlier crash would be played back into the new file.
    fs::remove(target.string() + "-journal", ec);
    if (existing)
        fs::remove(*existing + "-journal", ec);
    fs::rename(temp, target, ec);
    if (ec) {
        fs::remove(temp, ec);
        return StatusCreateIoError;
    }
    if (existing && *existing != name)
        fs::remove(*existing, ec); // the same name in other letter case: replaced, not doubled
    return StatusSuccess;
}

int16_t Engine::keyIndexFor(const FileDefinition& def, const Call& c, int& keyIndex, bool allowKeep)
{
    keyIndex = -1;
    if (allowKeep && c.keyNumber == -1)
        return StatusSuccess;
    if (def.keys.empty())
        return StatusSuccess;
    keyIndex = def.keyIndex(c.keyNumber);
    if (keyIndex < 0)
        return StatusInvalidKeyNumber;
    if (!c.keyBuffer || c.keyLength < def.keys[keyIndex].length)
        return StatusKeyBufferTooShort;
    return StatusSuccess;
}

int16_t Engine::takeRecord(const FileDefinition& def, const Call& c, std::vector<uint8_t>& record)
{
    if (!c.dataLength || !c.dataBuffer)
        return StatusDataBufferTooShort;
    const uint32_t length = *c.dataLength;
    if (length < def.recordLength || (def.variableLength() && length > kMaxRecordLength))
        return StatusDataBufferTooShort;
    const auto* p = static_cast<const uint8_t*>(c.dataBuffer);
    record.assign(p, p + (def.variableLength() ? length : def.recordLength));
    return StatusSuccess;
}

void Engine::imagesOf(const FileDefinition& def, const std::vector<uint8_t>& record, RecordImages& images)
{
    images.resize(def.keys.size());
    for (size_t i = 0; i < def.keys.size(); ++i) {
        recordKey(def.keys[i], record, mKeyValue);
        if (isNullKey(def.keys[i], mKeyValue.data())) {
            images[i].reset();
        } else {
            if (!images[i])
                images[i].emplace();
            keyImage(def.keys[i], mKeyValue.data(), *images[i]);
        }
    }
}

int16_t Engine::fillAutoIncrement(FileBackend& backend, std::vector<uint8_t>& record)
{
    const FileDefinition& def = backend.definition();
    for (size_t ki = 0; ki < def.keys.size(); ++ki) {
        for (size_t si = 0; si < def.keys[ki].segments.size(); ++si) {
            const KeySegment& s = def.keys[ki].segments[si];
            if (s.type != TypeAutoIncrement)
                continue;
            uint8_t* field = record.data() + (s.position - 1);
            bool zero = true;
            for (size_t i = 0; i < s.length; ++i)
                zero = zero && field[i] == 0;
            if (!zero)
                continue;
            const auto valueAt = [&s](const uint8_t* p) {
                int64_t v = 0;
                for (size_t i = s.length; i > 0; --i)
                    v = (v << 8) | p[i - 1];
                if (v & (int64_t{1} << (8 * s.length - 1)))
                    v -= int64_t{1} << (8 * s.length);
                return v;
            };
            int64_t highest = 0;
            if (si == 0 && !s.descending()) {
                // The path of this key is ordered by the field: its last entry holds the highest.
                std::string image;
                bool found = false;
                if (int16_t st = backend.highestImage(ki, image, found))
                    return st;
                if (found && image.size() >= s.length) {
                    uint8_t le[4];
                    for (size_t i = 0; i < s.length; ++i)
                        le[i] = static_cast<uint8_t>(image[s.length - 1 - i]);
                    le[s.length - 1] ^= 0x80;
                    highest = valueAt(le);
                }
            } else {
                FoundRecord f;
                int16_t st = backend.step(StepSeek::First, 0, f);
                while (st == StatusSuccess) {
                    if (f.data.size() >= s.position - 1u + s.length)
                        highest = std::max(highest, valueAt(f.data.data() + (s.position - 1)));
                    st = backend.step(StepSeek::After, f.address, f);
                }
                if (st != StatusEndOfFile)
                    return st;
            }
            const int64_t next = highest < 0 ? 1 : highest + 1;
            for (size_t i = 0; i < s.length; ++i)
                field[i] = static_cast<uint8_t>(next >> (8 * i));
        }
    }
    return StatusSuccess;
}

int16_t Engine::entryOf(FileBackend& backend, size_t keyIndex, uint32_t address,
                        const std::vector<uint8_t>& record, Position& pos)
{
    const KeyDefinition& key = backend.definition().keys[keyIndex];
    recordKey(key, record, mKeyValue);
    pos.logical = false;
    if (isNullKey(key, mKeyValue.data()))
        return StatusSuccess;
    KeyEntry entry;
    keyImage(key, mKeyValue.data(), entry.image);
    if (int16_t st = backend.sequenceOf(address, keyIndex, entry.sequence))
        return st;
    pos.logical = true;
    pos.keyIndex = keyIndex;
    pos.entry = std::move(entry);
    return StatusSuccess;
}

int16_t Engine::deliver(const FileDefinition& def, FoundRecord& found, const Call& c, int keyIndex,
                        bool keyOnly)
{
    if (found.data.size() < def.recordLength)
        found.data.resize(def.recordLength, 0);
    if (keyIndex >= 0) {
        recordKey(def.keys[keyIndex], found.data, mKeyValue);
        std::memcpy(c.keyBuffer, mKeyValue.data(), mKeyValue.size());
    }
    if (keyOnly) {
        if (c.dataLength)
            *c.dataLength = 0;
        return StatusSuccess;
    }
    const uint32_t capacity = c.dataBuffer ? *c.dataLength : 0;
    const size_t n = found.data.size();
    if (capacity < n) {
        if (capacity)
            std::memcpy(c.dataBuffer, found.data.data(), capacity);
        *c.dataLength = capacity;
        return StatusDataBufferTooShort;
    }
    std::memcpy(c.dataBuffer, found.data.data(), n);
    *c.dataLength = static_cast<uint32_t>(n);
    return StatusSuccess;
}

int16_t Engine::getByKey(Handle& h, uint16_t op, bool keyOnly, const Call& c)
{
    FileBackend& backend = *h.file->backend;
    const FileDefinition& def = backend.definition();
    const int keyIndex = def.keyIndex(c.keyNumber);
    if (keyIndex < 0)
        return StatusInvalidKeyNumber;
    const KeyDefinition& key = def.keys[keyIndex];
    if (!c.keyBuffer || c.keyLength < key.length)
        return StatusKeyBufferTooShort;
    if (!keyOnly && !c.dataLength)
        return StatusDataBufferTooShort;

    KeySeek how = KeySeek::First;
    std::string image;
    switch (op) {
    case OpGetEqual:
    case OpGetGreater:
    case OpGetGreaterOrEqual:
    case OpGetLess:
    case OpGetLessOrEqual:
        how = op == OpGetEqual            ? KeySeek::Equal
              : op == OpGetGreater        ? KeySeek::Greater
              : op == OpGetGreaterOrEqual ? KeySeek::GreaterOrEqual
              : op == OpGetLess           ? KeySeek::Less
                                          : KeySeek::LessOrEqual;
        keyImage(key, static_cast<const uint8_t*>(c.keyBuffer), image);
        break;
    case OpGetNext:
    case OpGetPrevious:
        if (!h.pos.logical)
            return StatusInvalidPositioning;
        if (h.pos.keyIndex != static_cast<size_t>(keyIndex))
            return StatusDifferentKeyNumber;
        how = op == OpGetNext ? KeySeek::After : KeySeek::Before;
        break;
    case OpGetFirst:
        how = KeySeek::First;
        break;
    case OpGetLast:
        how = KeySeek::Last;
        break;
    default:
        return StatusInvalidOperation;
    }
    if (int16_t st = backend.seekKey(static_cast<size_t>(keyIndex), how, image, h.pos.entry, mFound))
        return st;
    h.pos.logical = true;
    h.pos.keyIndex = static_cast<size_t>(keyIndex);
    h.pos.entry = mFound.entry;
    if (!keyOnly) {
        h.pos.stepped = true;
        h.pos.physical = mFound.address;
        h.pos.current = true;
        h.pos.currentAddress = mFound.address;
    } else {
        h.pos.current = false;
    }
    return deliver(def, mFound, c, keyIndex, keyOnly);
}

int16_t Engine::stepRecord(Handle& h, uint16_t op, const Call& c)
{
    FileBackend& backend = *h.file->backend;
    if (!c.dataLength)
        return StatusDataBufferTooShort;
    StepSeek how = StepSeek::First;
    switch (op) {
    case OpStepFirst:
        how = StepSeek::First;
        break;
    case OpStepLast:
        how = StepSeek::Last;
        break;
    case OpStepNext:
        how = h.pos.stepped ? StepSeek::After : StepSeek::First;
        break;
    default: // Step Previous
        if (!h.pos.stepped)
            return StatusEndOfFile;
        how = StepSeek::Before;
        break;
    }
    mFound.skippedPage = false;
    if (int16_t st = backend.step(how, h.pos.physical, mFound)) {
        if (st != StatusIoError || !mFound.skippedPage)
            return st;
        // A damaged page: the position moves onto its place, so the next step goes past it, and
        // the data buffer gets its page number.
        h.pos.logical = false;
        h.pos.stepped = true;
        h.pos.physical = mFound.address;
        h.pos.current = false;
        // A buffer too short for what the place says more still gets its page number.
        const uint32_t capacity = c.dataBuffer ? *c.dataLength : 0;
        const uint32_t n = capacity >= mFound.data.size() ? static_cast<uint32_t>(mFound.data.size())
                           : capacity >= 4                ? 4
                                                          : 0;
        if (n)
            std::memcpy(c.dataBuffer, mFound.data.data(), n);
        *c.dataLength = n;
        return st;
    }
    h.pos.logical = false;
    h.pos.stepped = true;
    h.pos.physical = mFound.address;
    h.pos.current = true;
    h.pos.currentAddress = mFound.address;
    return deliver(backend.definition(), mFound, c, -1, false);
}

int16_t Engine::insert(Handle& h, const Call& c)
{
    FileBackend& backend = *h.file->backend;
    const FileDefinition& def = backend.definition();
    if (h.readOnly || !backend.writable())
        return StatusAccessDenied;
    if (int16_t st = takeRecord(def, c, mRecord))
        return st;
    int keyIndex;
    if (int16_t st = keyIndexFor(def, c, keyIndex, true))
        return st;
    if (int16_t st = fillAutoIncrement(backend, mRecord))
        return st;
    RecordImages images;
    imagesOf(def, mRecord, images);
    uint32_t address = 0;
    int64_t sequence = 0;
    if (int16_t st = backend.insert(mRecord, images, address, sequence))
        return st;
    std::memcpy(c.dataBuffer, mRecord.data(), def.recordLength); // assigned autoincrement values
    if (c.keyNumber == -1)
        return StatusSuccess;
    h.pos.stepped = true;
    h.pos.physical = address;
    h.pos.current = true;
    h.pos.currentAddress = address;
    h.pos.logical = false;
    if (keyIndex >= 0) {
        if (images[keyIndex]) {
            h.pos.logical = true;
            h.pos.keyIndex = static_cast<size_t>(keyIndex);
            h.pos.entry.image = *images[keyIndex];
            h.pos.entry.sequence = def.keys[keyIndex].duplicates() ? sequence : 0;
        }
        recordKey(def.keys[keyIndex], mRecord, mKeyValue);
        std::memcpy(c.keyBuffer, mKeyValue.data(), mKeyValue.size());
    }
    return StatusSuccess;
}

int16_t Engine::update(Handle& h, const Call& c)
{
    if (int16_t st = changeableCurrentRecord(h))
        return st;
    FileBackend& backend = *h.file->backend;
    const FileDefinition& def = backend.definition();
    if (int16_t st = takeRecord(def, c, mRecord))
        return st;
    int keyIndex;
    if (int16_t st = keyIndexFor(def, c, keyIndex, true))
        return st;
    FoundRecord old;
    if (int16_t st = readCurrent(backend, h.pos, old))
        return st;
    RecordImages oldImages, images;
    imagesOf(def, old.data, oldImages);
    imagesOf(def, mRecord, images);
    for (size_t i = 0; i < def.keys.size(); ++i)
        if (!def.keys[i].modifiable() && oldImages[i] != images[i])
            return StatusKeyNotModifiable;
    if (int16_t st = backend.update(h.pos.currentAddress, mRecord, images))
        return st == StatusInvalidRecordAddress ? int16_t(StatusInvalidPositioning) : st;
    if (keyIndex >= 0) {
        if (int16_t st =
                entryOf(backend, static_cast<size_t>(keyIndex), h.pos.currentAddress, mRecord, h.pos))
            return st;
        recordKey(def.keys[keyIndex], mRecord, mKeyValue);
        std::memcpy(c.keyBuffer, mKeyValue.data(), mKeyValue.size());
    }
    return StatusSuccess;
}

int16_t Engine::remove(Handle& h, const Call& c)
{
    if (int16_t st = changeableCurrentRecord(h))
        return st;
    FileBackend& backend = *h.file->backend;
    const FileDefinition& def = backend.definition();
    int keyIndex = -1;
    if (c.keyNumber != -1 && !def.keys.empty()) {
        keyIndex = def.keyIndex(c.keyNumber);
        if (keyIndex < 0)
            return StatusInvalidKeyNumber;
    }
    Position next = h.pos;
    if (keyIndex >= 0) {
        FoundRecord old;
        if (int16_t st = readCurrent(backend, h.pos, old))
            return st;
        if (int16_t st =
                entryOf(backend, static_cast<size_t>(keyIndex), h.pos.currentAddress, old.data, next))
            return st;
    }
    if (int16_t st = backend.remove(h.pos.currentAddress))
        return st == StatusInvalidRecordAddress ? int16_t(StatusInvalidPositioning) : st;
    h.pos = next;
    h.pos.current = false;
    return StatusSuccess;
}

int16_t Engine::getPosition(Handle& h, const Call& c)
{
    if (!h.pos.current)
        return StatusInvalidPositioning;
    if (!c.dataLength || !c.dataBuffer || *c.dataLength < 4)
        return StatusDataBufferTooShort;
    store32(c.dataBuffer, h.pos.currentAddress);
    *c.dataLength = 4;
    return StatusSuccess;
}

int16_t Engine::getDirect(Handle& h, const Call& c)
{
    FileBackend& backend = *h.file->backend;
    const FileDefinition& def = backend.definition();
    if (!c.dataLength || !c.dataBuffer || *c.dataLength < 4)
        return StatusDataBufferTooShort;
    int keyIndex;
    if (int16_t st = keyIndexFor(def, c, keyIndex, false))
        return st;
    const uint32_t address = load32(c.dataBuffer);
    if (address == 0)
        return StatusInvalidRecordAddress;
    if (int16_t st = backend.read(address, mFound))
        return st;
    if (mFound.data.size() < def.recordLength)
        mFound.data.resize(def.recordLength, 0);
    Position pos = h.pos;
    pos.logical = false;
    if (keyIndex >= 0)
        if (int16_t st = entryOf(backend, static_cast<size_t>(keyIndex), address, mFound.data, pos))
            return st;
    pos.stepped = true;
    pos.physical = address;
    pos.current = true;
    pos.currentAddress = address;
    h.pos = pos;
    return deliver(def, mFound, c, keyIndex, false);
}

int16_t Engine::stat(Handle& h, const Call& c)
{
    FileBackend& backend = *h.file->backend;
    if (!c.dataLength)
        return StatusDataBufferTooShort;
    std::vector<uint8_t> image;
    if (int16_t st = backend.stat(c.keyNumber == -1, image))
        return st;
    const size_t specs = kFileSpecSize + kSegmentSpecSize * backend.definition().segmentSpecs.size();
    uint32_t written = 0;
    const int16_t st = deliverStat(image, specs, static_cast<uint8_t*>(c.dataBuffer),
                                   c.dataBuffer ? *c.dataLength : 0, written);
    *c.dataLength = written;
    return st;
}

} // namespace

void setGenuineReaderForTesting(GenuineOpener opener, GenuineRecordReader reader)
{
    Engine& e = theEngine();
    std::lock_guard lock(e.mutex);
    e.genuineOpener = std::move(opener);
    e.genuineReader = std::move(reader);
}

} // namespace engine

extern "C" int16_t BTRCALL_CONV QuillanEngineCall(uint16_t operation, void* positionBlock, void* dataBuffer,
                                                  uint32_t* dataLength, void* keyBuffer, uint8_t keyLength,
                                                  int8_t keyNumber, void* /*clientId*/)
{
    try {
        engine::Engine& e = engine::theEngine();
        std::lock_guard lock(e.mutex);
        return e.call(operation, positionBlock, {dataBuffer, dataLength, keyBuffer, keyLength, keyNumber});
    } catch (...) { // out of memory: nothing may cross the C boundary
        return btr::StatusIoError;
    }
}

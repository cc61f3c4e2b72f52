#pragma once
// The record manager's vocabulary, named once for the whole program: operation codes, status
// codes, open modes, file flags and key flags, with the captions the flags are shown under.
#include <array>
#include <cstdint>
#include <string_view>

namespace btr {

enum Op : uint16_t {
    OpOpen = 0,
    OpClose = 1,
    OpInsert = 2,
    OpUpdate = 3,
    OpDelete = 4,
    OpGetEqual = 5,
    OpGetNext = 6,
    OpGetPrevious = 7,
    OpGetGreater = 8,
    OpGetGreaterOrEqual = 9,
    OpGetLess = 10,
    OpGetLessOrEqual = 11,
    OpGetFirst = 12,
    OpGetLast = 13,
    OpCreate = 14,
    OpStat = 15,
    OpGetPosition = 22,
    OpGetDirect = 23,
    OpStepNext = 24,
    OpStepFirst = 33,
    OpStepLast = 34,
    OpStepPrevious = 35,
};

constexpr uint16_t kGetKeyBias = 50;    // +50: return the key only
constexpr uint16_t kLockBiasStep = 100; // +100 .. +400: lock biases

enum Status : int16_t {
    StatusSuccess = 0,
    StatusInvalidOperation = 1,
    StatusIoError = 2,
    StatusFileNotOpen = 3,
    StatusKeyNotFound = 4,
    StatusDuplicateKey = 5,
    StatusInvalidKeyNumber = 6,
    StatusDifferentKeyNumber = 7,
    StatusInvalidPositioning = 8,
    StatusEndOfFile = 9,
    StatusKeyNotModifiable = 10,
    StatusInvalidFileName = 11,
    StatusFileNotFound = 12,
    StatusDiskFull = 18,
    StatusRecordManagerInactive = 20,
    StatusKeyBufferTooShort = 21,
    StatusDataBufferTooShort = 22,
    StatusPageSizeError = 24,
    StatusCreateIoError = 25,
    StatusNumberOfKeys = 26,
    StatusInvalidKeyPosition = 27,
    StatusInvalidRecordLength = 28,
    StatusInvalidKeyLength = 29,
    StatusNotBtrieveFile = 30,
    StatusInvalidRecordAddress = 43,
    StatusInconsistentKeyFlags = 45,
    StatusAccessDenied = 46,
    StatusInvalidAcs = 48,
    StatusKeyTypeError = 49,
    StatusFileAlreadyExists = 59,
    StatusIncompatibleMode = 88,
    // The embedded engine's own: a genuine file whose layout is recognised but whose records are
    // known not to be readable by it yet (Stat still works).
    StatusLayoutNotReadable = 4100,
    // The embedded engine's own: a genuine file's records were read, but their number is not the
    // count its control record holds. Answered where the end of the records would be.
    StatusRecordCountDiffers = 4101,
};

// Open modes: the key number of an Open.
enum OpenMode : int8_t {
    OpenNormal = 0,
    OpenAccelerated = -1,
    OpenReadOnly = -2,
    OpenVerify = -3,
    OpenExclusive = -4,
};

// File flags of a file specification (Create, Stat).
namespace fileflag {
constexpr uint16_t VariableLength = 0x1;
constexpr uint16_t BlankTruncation = 0x2;
constexpr uint16_t Preallocation = 0x4;
constexpr uint16_t DataCompression = 0x8;
constexpr uint16_t KeyOnly = 0x10;
constexpr uint16_t BalancedIndex = 0x20;
constexpr uint16_t Free10 = 0x40;
constexpr uint16_t Free20 = 0x80;
constexpr uint16_t DuplicatePointers = 0x100;
constexpr uint16_t SystemData = 0x200;
constexpr uint16_t KeyNumbersGiven = 0x400;
constexpr uint16_t VariableAllocation = 0x800;
} // namespace fileflag

// Key flags of a key segment specification.
namespace keyflag {
constexpr uint16_t Duplicates = 0x1;
constexpr uint16_t Modifiable = 0x2;
constexpr uint16_t Binary = 0x4;
constexpr uint16_t NullAll = 0x8;
constexpr uint16_t Segmented = 0x10;
constexpr uint16_t Acs = 0x20;
constexpr uint16_t Descending = 0x40;
constexpr uint16_t RepeatingDuplicates = 0x80;
constexpr uint16_t ExtendedType = 0x100;
constexpr uint16_t NullAny = 0x200;
constexpr uint16_t CaseInsensitive = 0x400;
} // namespace keyflag

// The captions of the file flags, bit 0 first, as the Files page's tick boxes and quillan-cli
// show them (the dictionary's own words, spelling kept).
inline constexpr std::array<std::string_view, 12> kFileFlagCaptions = {
    "Variable Length", "Blank Trancate", "Preallocation",     "Data Compres", "Key Only",  "Index Balance",
    "10% Free",        "20% Free",       "Duplicate Pointer", "Reserv",       "Key  Spec", "VAT"};

// The captions of the key flags, bit 0 first (Keys page, quillan-cli).
inline constexpr std::array<std::string_view, 11> kKeyFlagCaptions = {
    "Duplicates", "Modifiable", "Binary",  "NullKeyAllSeg", "Segmented", "ACS",
    "Descending", "RepeatDupl", "ExtType", "NullKeyAnySeg", "CaseInsens"};

// A short English meaning of a status, for messages that report what the record manager refused.
const char* statusMeaning(int status);

} // namespace btr

#pragma once
// Record-manager operation codes and status codes, named once for the whole program.
#include <cstdint>

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
};

// A short English meaning of a status, for messages that report what the record manager refused.
const char* statusMeaning(int status);

} // namespace btr

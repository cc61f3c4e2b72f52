#include "Status.h"

namespace btr {

const char* statusMeaning(int status)
{
    switch (status) {
    case StatusSuccess:
        return "success";
    case StatusInvalidOperation:
        return "invalid operation";
    case StatusIoError:
        return "I/O error";
    case StatusFileNotOpen:
        return "file not open";
    case StatusKeyNotFound:
        return "key value not found";
    case StatusDuplicateKey:
        return "duplicate key value";
    case StatusInvalidKeyNumber:
        return "invalid key number";
    case StatusDifferentKeyNumber:
        return "different key number";
    case StatusInvalidPositioning:
        return "invalid positioning";
    case StatusEndOfFile:
        return "end of file";
    case StatusKeyNotModifiable:
        return "key field not modifiable";
    case StatusInvalidFileName:
        return "invalid file name";
    case StatusFileNotFound:
        return "file not found";
    case StatusDiskFull:
        return "disk full";
    case StatusRecordManagerInactive:
        return "record manager inactive";
    case StatusKeyBufferTooShort:
        return "key buffer too short";
    case StatusDataBufferTooShort:
        return "data buffer too short";
    case StatusPageSizeError:
        return "page size error";
    case StatusCreateIoError:
        return "create I/O error";
    case StatusNumberOfKeys:
        return "number of keys";
    case StatusInvalidKeyPosition:
        return "invalid key position";
    case StatusInvalidRecordLength:
        return "invalid record length";
    case StatusInvalidKeyLength:
        return "invalid key length";
    case StatusNotBtrieveFile:
        return "not a record-manager file";
    case StatusInvalidRecordAddress:
        return "invalid record address";
    case StatusInconsistentKeyFlags:
        return "inconsistent key flags";
    case StatusAccessDenied:
        return "access denied";
    case StatusInvalidAcs:
        return "invalid alternate collating sequence";
    case StatusKeyTypeError:
        return "key type error";
    case StatusFileAlreadyExists:
        return "file already exists";
    case StatusIncompatibleMode:
        return "incompatible open mode";
    case StatusLayoutNotReadable:
        return "the records of this genuine file format are known not to be readable yet";
    case StatusRecordCountDiffers:
        return "the records read are not as many as the file's control record counts";
    default:
        return "record manager error";
    }
}

} // namespace btr

// Entry point of the shared library libquillanbtrv: the embedded record manager under the name
// the real libraries export, so a loader of real libraries can take it up.
#include "BtrCall.h"

extern "C" BTRCALL_EXPORT int16_t BTRCALL_CONV BTRCALLID(uint16_t operation, void* positionBlock,
                                                         void* dataBuffer, uint32_t* dataLength,
                                                         void* keyBuffer, uint8_t keyLength, int8_t keyNumber,
                                                         void* clientId)
{
    return QuillanEngineCall(operation, positionBlock, dataBuffer, dataLength, keyBuffer, keyLength,
                             keyNumber, clientId);
}

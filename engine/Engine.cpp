#include "BtrCall.h"
#include "Status.h"

extern "C" int16_t BTRCALL_CONV QuillanEngineCall(uint16_t, void*, void*, uint32_t*, void*, uint8_t, int8_t, void*)
{
    return btr::StatusInvalidOperation;
}

namespace btr {
const char* statusMeaning(int)
{
    return "record manager error";
}
} // namespace btr

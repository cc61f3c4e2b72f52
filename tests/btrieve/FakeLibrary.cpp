// A stand-in record-manager library: exports BTRCALLID (unless built with FAKE_WITHOUT_ENTRY) and
// answers every call with FAKE_STATUS, so a test can tell which library a call reached.
#include "BtrCall.h"

extern "C" {

#if defined(FAKE_WITHOUT_ENTRY)
BTRCALL_EXPORT int16_t BTRCALL_CONV BTRCALL(uint16_t, void*, void*, uint32_t*, void*, uint8_t, int8_t)
{
    return FAKE_STATUS;
}
#else
BTRCALL_EXPORT int16_t BTRCALL_CONV BTRCALLID(uint16_t, void*, void*, uint32_t*, void*, uint8_t, int8_t,
                                              void*)
{
    return FAKE_STATUS;
}
#endif
}

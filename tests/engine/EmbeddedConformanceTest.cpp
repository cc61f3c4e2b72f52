// The conformance suite run against the embedded record manager, linked in and loaded as the
// shared library libquillanbtrv the way a real record manager is loaded.
#include "EngineConformance.h"

#include <dlfcn.h>

namespace {

BtrCallFn embedded()
{
    return &QuillanEngineCall;
}

BtrCallFn sharedLibrary()
{
    static void* library = dlopen(QUILLAN_BTRV_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    return library ? reinterpret_cast<BtrCallFn>(dlsym(library, "BTRCALLID")) : nullptr;
}

} // namespace

QUILLAN_ENGINE_CONFORMANCE(Embedded, embedded);
QUILLAN_ENGINE_CONFORMANCE(SharedLibrary, sharedLibrary);

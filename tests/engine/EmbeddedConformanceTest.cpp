// The conformance suite run against the embedded record manager linked in. The shared-library
// build, taken up through the record-manager binding, runs it in tests/btrieve.
#include "EngineConformance.h"

namespace {

BtrCallFn embedded()
{
    return &QuillanEngineCall;
}

} // namespace

QUILLAN_ENGINE_CONFORMANCE(Embedded, embedded);

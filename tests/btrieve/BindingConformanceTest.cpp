// The conformance suite run against libquillanbtrv taken up by the record-manager binding, the
// way Quillan takes up a real record manager. QUILLAN_RECORD_MANAGER names the library unless
// the run sets it (to "system", with the library on the loader path as libpsqlmif.so).
#include "Binding.h"
#include "EngineConformance.h"

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

BtrCallFn throughBinding()
{
    static const BtrCallFn call = []() -> BtrCallFn {
        const char* chosen = std::getenv("QUILLAN_RECORD_MANAGER");
        if (!chosen || !*chosen)
            setenv("QUILLAN_RECORD_MANAGER", QUILLAN_BTRV_LIBRARY, 1);
        std::string error;
        if (!btrieve::initRecordManager(&error)) {
            ADD_FAILURE() << error;
            return nullptr;
        }
        const BtrCallFn fn = btrieve::recordManager();
        if (fn == &QuillanEngineCall) {
            ADD_FAILURE() << "the binding chose the linked-in engine, not the library";
            return nullptr;
        }
        const std::string description = btrieve::recordManagerDescription();
        std::error_code ec;
        if (!std::filesystem::equivalent(description, QUILLAN_BTRV_LIBRARY, ec)) {
            ADD_FAILURE() << "the binding took up " << description << ", not " << QUILLAN_BTRV_LIBRARY;
            return nullptr;
        }
        return fn;
    }();
    return call;
}

} // namespace

QUILLAN_ENGINE_CONFORMANCE(Binding, throughBinding);

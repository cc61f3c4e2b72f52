#pragma once
// The process-wide binding to a Btrieve record manager: either the embedded engine linked into
// Quillan or a real record-manager library taken up at run time. Every call of the record
// manager goes through the function this binding hands out.
//
// The choice comes from the environment variable QUILLAN_RECORD_MANAGER:
//   unset or empty  a real library when one is found where it installs, else the embedded engine
//   "embedded"      the embedded engine
//   "system"        a real library found where it installs; an error when there is none
//   anything else   the path (or loader name) of a library exporting BTRCALLID; an error when it
//                   cannot be loaded or lacks the entry point
// A library, once taken up, stays loaded until the process ends.
#include "BtrCall.h"

#include <string>

namespace btrieve {

// Chooses the record manager now, from QUILLAN_RECORD_MANAGER. On failure returns false, puts a
// message saying which library and why into *error (when error is not null), and leaves every
// call answering btr::StatusRecordManagerInactive; it never falls back to another record manager.
bool initRecordManager(std::string* error);

// The call in use. Chooses on first use when initRecordManager has not run.
BtrCallFn recordManager();

// "embedded", the path of the library in use, or "unavailable: " and the reason.
std::string recordManagerDescription();

// Loads a record-manager library and returns its BTRCALLID, or nullptr with the reason in *error.
// Does not change the binding.
BtrCallFn loadRecordManagerLibrary(const std::string& path, std::string* error);

// Makes every later recordManager() return fn; nullptr restores the normal choice.
void setRecordManagerForTesting(BtrCallFn fn);

} // namespace btrieve

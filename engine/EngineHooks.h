#pragma once
// Replaces the genuine-file reader the engine uses, so tests can open read-only files from
// records they make up. Passing empty functions restores the real reader. Not for production
// code.
#include "GenuineFile.h"
#include "MemoryFile.h"

#include <functional>

namespace engine {

using GenuineOpener = std::function<int16_t(const std::string&, GenuineInfo&)>;

void setGenuineReaderForTesting(GenuineOpener opener, GenuineRecordReader reader);

} // namespace engine

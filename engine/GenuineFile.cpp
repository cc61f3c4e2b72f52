#include "GenuineFile.h"

#include "Status.h"

namespace engine {

int16_t openGenuineFile(const std::string&, GenuineInfo&)
{
    return btr::StatusNotBtrieveFile;
}

int16_t readGenuineRecords(const std::string&, const GenuineInfo&, std::vector<std::vector<uint8_t>>&)
{
    return btr::StatusNotBtrieveFile;
}

} // namespace engine

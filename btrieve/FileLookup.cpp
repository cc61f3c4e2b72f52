#include "FileLookup.h"

#include "FileNames.h"

namespace btrieve {

const char* const kPrivateFileSuffix = engine::kPrivateFileSuffix;

std::optional<std::string> findExistingFile(const std::string& name)
{
    return engine::findExistingFile(name);
}

std::optional<std::string> fileCreateWouldReplace(const std::string& location)
{
    const std::string name = engine::nameFromKeyBuffer(location.c_str(), 0);
    if (name.empty())
        return std::nullopt;
    return engine::findExistingFile(engine::nameToCreate(name));
}

bool isPrivateFileName(const std::string& name)
{
    return engine::isPrivateFileName(name);
}

std::string privateFileTarget(const std::string& privateName)
{
    return engine::privateFileTarget(privateName);
}

std::string privateFileFor(const std::string& name)
{
    return engine::privateFileFor(name);
}

} // namespace btrieve

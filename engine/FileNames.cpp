#include "FileNames.h"

#include <cstring>
#include <filesystem>
#include <system_error>

namespace engine {
namespace fs = std::filesystem;

std::string nameFromKeyBuffer(const void* keyBuffer, uint8_t keyLength)
{
    std::string name;
    if (!keyBuffer)
        return name;
    const auto* p = static_cast<const unsigned char*>(keyBuffer);
    const size_t bound = keyLength ? keyLength : 255;
    for (size_t i = 0; i < bound && p[i] != 0; ++i)
        name.push_back(static_cast<char>(p[i]));
    const size_t end = name.find_last_not_of(' ');
    name.erase(end == std::string::npos ? 0 : end + 1);
    return name;
}

std::string nameBeforeBlank(const std::string& name)
{
    return name.substr(0, name.find(' '));
}

namespace {
bool equalIgnoringCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}
} // namespace

std::optional<std::string> findExistingFile(const std::string& name)
{
    std::error_code ec;
    const fs::path path(name);
    if (fs::exists(fs::symlink_status(path, ec)))
        return name;
    const std::string leaf = path.filename().string();
    if (leaf.empty())
        return std::nullopt;
    const fs::path dir = path.has_parent_path() ? path.parent_path() : fs::path(".");
    std::optional<std::string> best;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string entry = it->path().filename().string();
        if (equalIgnoringCase(entry, leaf) && (!best || entry < *best))
            best = entry;
    }
    if (!best)
        return std::nullopt;
    return path.has_parent_path() ? (dir / *best).string() : *best;
}

std::optional<std::string> findFileToOpen(const std::string& name)
{
    if (auto whole = findExistingFile(name))
        return whole;
    const std::string before = nameBeforeBlank(name);
    if (before.empty() || before == name)
        return std::nullopt;
    auto part = findExistingFile(before);
    std::error_code ec;
    if (!part || !fs::is_regular_file(*part, ec))
        return std::nullopt;
    return part;
}

std::string nameToCreate(const std::string& name)
{
    const std::string before = nameBeforeBlank(name);
    if (before.empty() || before == name)
        return name;
    const fs::path parent = fs::path(name).parent_path();
    std::error_code ec;
    return parent.empty() || fs::is_directory(parent, ec) ? name : before;
}

bool isPrivateFileName(const std::string& name)
{
    const std::string suffix = kPrivateFileSuffix;
    return name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string privateFileTarget(const std::string& privateName)
{
    const std::size_t slash = privateName.find_last_of('/');
    const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    std::string base = privateName.substr(start, privateName.size() - start - std::strlen(kPrivateFileSuffix));
    if (!base.empty() && base[0] == '.')
        base.erase(0, 1);
    return privateName.substr(0, start) + base;
}

std::string privateFileFor(const std::string& name)
{
    const std::size_t slash = name.find_last_of('/');
    const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    return name.substr(0, start) + "." + name.substr(start) + kPrivateFileSuffix;
}

} // namespace engine

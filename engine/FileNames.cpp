#include "FileNames.h"

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
    for (size_t i = 0; i < bound && p[i] != 0 && p[i] != ' '; ++i)
        name.push_back(static_cast<char>(p[i]));
    return name;
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

} // namespace engine

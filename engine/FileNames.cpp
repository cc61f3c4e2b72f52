#include "FileNames.h"

#include "Text.h"

#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

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
    name.resize(text::withoutTrailingBlanks(name).size());
    return name;
}

std::string nameBeforeBlank(const std::string& name)
{
    return name.substr(0, name.find(' '));
}

namespace {

// The entry of dir named like part: part itself when it exists, else the first entry in byte
// order whose name differs from it only in the case of ASCII letters.
std::optional<std::string> entryIgnoringCase(const fs::path& dir, const std::string& part)
{
    std::error_code ec;
    if (part == "." || part == ".." || fs::exists(fs::symlink_status(dir / part, ec)))
        return part;
    std::optional<std::string> best;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string entry = it->path().filename().string();
        if (text::equalIgnoringAsciiCase(entry, part) && (!best || entry < *best))
            best = entry;
    }
    return best;
}

// The name's parts, backslashes taken as separators as well as slashes; empty parts dropped.
std::vector<std::string> partsOf(const std::string& name)
{
    std::vector<std::string> parts;
    std::string part;
    for (char c : name) {
        if (c == '/' || c == '\\') {
            if (!part.empty())
                parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty())
        parts.push_back(part);
    return parts;
}

// Joins resolved parts under the name's root: "/" for an absolute name, nothing otherwise.
std::string joined(const std::string& name, const std::vector<std::string>& parts, std::size_t count)
{
    std::string s = !name.empty() && (name[0] == '/' || name[0] == '\\') ? "/" : "";
    for (std::size_t i = 0; i < count; ++i)
        s += (i && s.back() != '/' ? "/" : "") + parts[i];
    return s;
}

// Resolves the first count parts one by one against the file system; nullopt when one has no
// entry.
std::optional<std::vector<std::string>> resolveParts(const std::string& name, std::size_t count)
{
    std::vector<std::string> parts = partsOf(name);
    if (count > parts.size())
        count = parts.size();
    for (std::size_t i = 0; i < count; ++i) {
        const std::string base = joined(name, parts, i);
        auto entry = entryIgnoringCase(base.empty() ? fs::path(".") : fs::path(base), parts[i]);
        if (!entry)
            return std::nullopt;
        parts[i] = *entry;
    }
    return parts;
}

} // namespace

std::optional<std::string> findExistingFile(const std::string& name)
{
    std::error_code ec;
    if (fs::exists(fs::symlink_status(fs::path(name), ec)))
        return name;
    const auto parts = resolveParts(name, std::string::npos);
    if (!parts || parts->empty())
        return std::nullopt;
    return joined(name, *parts, parts->size());
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

std::string nameWithDirectoryResolved(const std::string& name)
{
    std::error_code ec;
    const fs::path given(name);
    const bool parentExists = !given.has_parent_path() || fs::is_directory(given.parent_path(), ec);
    if (name.find('\\') == std::string::npos && parentExists)
        return name;
    const std::vector<std::string> all = partsOf(name);
    if (all.empty())
        return name;
    const auto parts = resolveParts(name, all.size() - 1);
    if (!parts)
        return name;
    return joined(name, *parts, parts->size());
}

std::string nameToCreate(const std::string& given)
{
    const std::string name = nameWithDirectoryResolved(given);
    const std::string before = nameBeforeBlank(name);
    if (before.empty() || before == name)
        return name;
    const fs::path parent = fs::path(name).parent_path();
    std::error_code ec;
    return parent.empty() || fs::is_directory(parent, ec) ? name : nameWithDirectoryResolved(nameBeforeBlank(given));
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

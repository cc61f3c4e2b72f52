#include "SafeFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <system_error>
#include <vector>

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace dict {
namespace fs = std::filesystem;

namespace {

std::function<void(const char*)>& stepHook()
{
    static std::function<void(const char*)> hook;
    return hook;
}

bool gSyncs = true;

} // namespace

void setSyncsForTesting(bool on)
{
    gSyncs = on;
}

void setWriteStepHookForTesting(std::function<void(const char* step)> hook)
{
    stepHook() = std::move(hook);
}

void writeStep(const char* step)
{
    if (stepHook())
        stepHook()(step);
}

bool syncFile(const std::string& path)
{
    if (!gSyncs) {
        writeStep("sync");
        return true;
    }
#ifdef _WIN32
    const int fd = ::_open(path.c_str(), _O_RDWR | _O_BINARY);
    if (fd < 0)
        return false;
    const bool ok = ::_commit(fd) == 0;
    ::_close(fd);
#else
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
#endif
    writeStep("sync");
    return ok;
}

bool syncDirectory(const std::string& directory)
{
    if (!gSyncs)
        return true;
#ifdef _WIN32
    (void)directory;
    return true;
#else
    const int fd = ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL; // some file systems cannot sync a directory
    ::close(fd);
    return ok;
#endif
}

std::string directoryOf(const std::string& path)
{
    const fs::path parent = fs::path(path).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

std::string renameDurably(const std::string& from, const std::string& to)
{
    std::error_code ec;
    fs::rename(from, to, ec);
    if (ec)
        return ec.message();
    writeStep("rename");
    if (!syncDirectory(directoryOf(to)))
        return std::strerror(errno);
    return {};
}

std::string copyDurably(const std::string& source, const std::string& target)
{
    const fs::path t(target);
    const std::string temp = (t.parent_path() / ("." + t.filename().string() + ".copying")).string();
    {
        std::ifstream in(source, std::ios::binary);
        if (!in)
            return "cannot read " + source;
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out)
            return "cannot write " + temp;
        std::vector<char> buffer(1 << 20);
        while (in) {
            in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
            out.write(buffer.data(), in.gcount());
        }
        out.flush();
        if (!out || in.bad()) {
            out.close();
            std::remove(temp.c_str());
            return "cannot write " + temp;
        }
    }
    writeStep("copy");
    takeModeFor(temp, target);
    if (!syncFile(temp)) {
        std::remove(temp.c_str());
        return "cannot sync " + temp;
    }
    std::string why = renameDurably(temp, target);
    if (!why.empty())
        std::remove(temp.c_str());
    return why;
}

namespace {

// The permission bits most of the regular files of `directory` have (names starting with a dot
// not counted); none when it has no such file.
std::optional<fs::perms> usualPermissions(const fs::path& directory)
{
    std::map<unsigned, int> counts;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(directory.empty() ? fs::path(".") : directory, ec)) {
        const std::string name = entry.path().filename().string();
        std::error_code statError;
        const fs::file_status status = entry.status(statError);
        if (statError || name.empty() || name[0] == '.' || !fs::is_regular_file(status))
            continue;
        ++counts[unsigned(status.permissions() & fs::perms::mask)];
    }
    if (counts.empty())
        return std::nullopt;
    const auto most = std::max_element(counts.begin(), counts.end(),
                                       [](const auto& a, const auto& b) { return a.second < b.second; });
    return fs::perms(most->first);
}

} // namespace

void takeModeFor(const std::string& replacement, const std::string& original)
{
    std::error_code ec;
    const fs::file_status status = fs::status(original, ec);
    if (!ec && fs::exists(status)) {
#ifndef _WIN32
        struct stat owner {};
        if (::stat(original.c_str(), &owner) == 0 &&
            ::chown(replacement.c_str(), owner.st_uid, owner.st_gid) != 0)
            (void)!::chown(replacement.c_str(), uid_t(-1), owner.st_gid); // a group the user is in
#endif
        // After the owner: changing it may clear the set-id bits.
        fs::permissions(replacement, status.permissions() & fs::perms::mask, ec);
        return;
    }
    if (const auto usual = usualPermissions(fs::path(original).parent_path()))
        fs::permissions(replacement, *usual, ec);
}

bool sameContent(const std::string& a, const std::string& b)
{
    std::error_code ec1, ec2;
    const auto sizeA = fs::file_size(a, ec1), sizeB = fs::file_size(b, ec2);
    if (ec1 || ec2 || sizeA != sizeB)
        return false;
    std::ifstream inA(a, std::ios::binary), inB(b, std::ios::binary);
    if (!inA || !inB)
        return false;
    std::vector<char> bufA(1 << 16), bufB(1 << 16);
    while (inA && inB) {
        inA.read(bufA.data(), static_cast<std::streamsize>(bufA.size()));
        inB.read(bufB.data(), static_cast<std::streamsize>(bufB.size()));
        if (inA.gcount() != inB.gcount() ||
            std::memcmp(bufA.data(), bufB.data(), static_cast<std::size_t>(inA.gcount())) != 0)
            return false;
    }
    return true;
}

} // namespace dict

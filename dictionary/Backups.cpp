#include "Backups.h"

#include "FileLookup.h"
#include "SafeFiles.h"
#include "Status.h"
#include "WinBtr.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>

namespace dict {
namespace fs = std::filesystem;

namespace {

// SHA-1 of a byte string, as lower-case hexadecimal (the folder names' hash).
std::string sha1Hex(const std::string& text)
{
    uint32_t h[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    std::string m = text;
    const uint64_t bits = uint64_t(text.size()) * 8;
    m += char(0x80);
    while (m.size() % 64 != 56)
        m += char(0);
    for (int i = 7; i >= 0; --i)
        m += char((bits >> (i * 8)) & 0xFF);
    auto rol = [](uint32_t v, int n) { return (v << n) | (v >> (32 - n)); };
    for (std::size_t chunk = 0; chunk < m.size(); chunk += 64) {
        uint32_t w[80];
        for (int i = 0; i < 16; ++i)
            w[i] = uint32_t(uint8_t(m[chunk + 4 * i])) << 24 | uint32_t(uint8_t(m[chunk + 4 * i + 1])) << 16 |
                   uint32_t(uint8_t(m[chunk + 4 * i + 2])) << 8 | uint32_t(uint8_t(m[chunk + 4 * i + 3]));
        for (int i = 16; i < 80; ++i)
            w[i] = rol(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
        uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
        for (int i = 0; i < 80; ++i) {
            uint32_t f, k;
            if (i < 20) {
                f = (b & c) | (~b & d);
                k = 0x5A827999;
            } else if (i < 40) {
                f = b ^ c ^ d;
                k = 0x6ED9EBA1;
            } else if (i < 60) {
                f = (b & c) | (b & d) | (c & d);
                k = 0x8F1BBCDC;
            } else {
                f = b ^ c ^ d;
                k = 0xCA62C1D6;
            }
            const uint32_t t = rol(a, 5) + f + e + k + w[i];
            e = d;
            d = c;
            c = rol(b, 30);
            b = a;
            a = t;
        }
        h[0] += a;
        h[1] += b;
        h[2] += c;
        h[3] += d;
        h[4] += e;
    }
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (uint32_t v : h)
        for (int i = 28; i >= 0; i -= 4)
            out += digits[(v >> i) & 0xF];
    return out;
}

std::string upper(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = char(c - 32);
    return text;
}

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string dataRoot()
{
#if defined(_WIN32)
    const std::string appData = environment("APPDATA");
    return appData.empty() ? std::string() : appData + "/Quillan";
#elif defined(__APPLE__)
    const std::string home = environment("HOME");
    return home.empty() ? std::string() : home + "/Library/Application Support/Quillan";
#else
    const std::string xdg = environment("XDG_DATA_HOME");
    if (!xdg.empty() && xdg[0] == '/')
        return xdg + "/Quillan";
    const std::string home = environment("HOME");
    return home.empty() ? std::string() : home + "/.local/share/Quillan";
#endif
}

// "/data/sales" without "." and ".." parts, doubled or trailing separators.
std::string cleanPath(const std::string& directory)
{
    std::string clean = fs::path(directory).lexically_normal().generic_string();
    while (clean.size() > 1 && clean.back() == '/')
        clean.pop_back();
    return clean;
}

bool isStamp(std::string_view s)
{
    // yyyyMMdd-HHmmss-zzz
    if (s.size() != 19 || s[8] != '-' || s[15] != '-')
        return false;
    for (std::size_t i = 0; i < s.size(); ++i)
        if (i != 8 && i != 15 && (s[i] < '0' || s[i] > '9'))
            return false;
    return true;
}

std::string stampNow(int extraMilliseconds)
{
    using namespace std::chrono;
    const auto now = system_clock::now() + milliseconds(extraMilliseconds);
    const std::time_t seconds = system_clock::to_time_t(now);
    const int ms = int(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    char text[64];
    std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02d-%03d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, ms);
    return text;
}

// Copy names of one file (upper-case name) in a folder, oldest first.
std::vector<std::string> copiesOf(const std::string& folder, const std::string& name)
{
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        const std::string n = entry.path().filename().string();
        if (n.size() == name.size() + 20 && n.compare(0, name.size(), name) == 0 && n[name.size()] == '.' &&
            isStamp(std::string_view(n).substr(name.size() + 1)))
            out.push_back(n);
    }
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace

std::string backupFolder(const std::string& directory)
{
    const std::string root = dataRoot();
    if (root.empty())
        return {};
    const std::string clean = cleanPath(directory);
    std::string readable;
    std::vector<std::size_t> starts; // where each character starts in readable
    for (std::size_t i = 0; i < clean.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(clean[i]);
        if ((c & 0xC0) != 0x80)
            starts.push_back(readable.size());
        const bool keep = c >= 0x80 || std::isalnum(c) || c == '.' || c == '-';
        readable += keep ? char(c) : '_';
    }
    std::size_t leading = 0;
    while (leading < readable.size() && readable[leading] == '_')
        ++leading;
    std::size_t firstKept = 0;
    while (firstKept < starts.size() && starts[firstKept] < leading)
        ++firstKept;
    if (starts.size() - firstKept > 80)
        readable = readable.substr(starts[starts.size() - 80]);
    else
        readable = readable.substr(leading);
    return root + "/backups/" + (readable.empty() ? std::string("root") : readable) + "-" +
           sha1Hex(clean).substr(0, 8);
}

std::string backUpFile(const std::string& path, int keep)
{
    const auto existing = btrieve::findExistingFile(path);
    if (!existing)
        return {};
    const std::string source = *existing;
    const std::string folder = backupFolder(fs::absolute(fs::path(source)).parent_path().string());
    std::error_code ec;
    if (folder.empty() || (fs::create_directories(folder, ec), !fs::is_directory(folder, ec)))
        return "the backup folder " + fs::path(folder).make_preferred().string() + " could not be made";

    const std::string name = upper(fs::path(source).filename().string());
    std::string target;
    for (int extra = 0;; ++extra) {
        target = folder + "/" + name + "." + stampNow(extra);
        if (!fs::exists(target, ec))
            break;
    }
    if (const std::string why = copyDurably(source, target); !why.empty())
        return "its backup copy " + fs::path(target).make_preferred().string() + " could not be written";
    writeStep("backup");

    std::vector<std::string> copies = copiesOf(folder, name);
    if (static_cast<int>(copies.size()) <= keep)
        return {};
    // The newest copy that differs from the file as it is now stays, whatever its age.
    std::string differing;
    for (auto it = copies.rbegin(); it != copies.rend(); ++it)
        if (!sameContent(folder + "/" + *it, source)) {
            differing = *it;
            break;
        }
    for (auto it = copies.begin(); it != copies.end() && static_cast<int>(copies.size()) > keep;) {
        if (*it == differing) {
            ++it;
            continue;
        }
        fs::remove(folder + "/" + *it, ec);
        it = copies.erase(it);
    }
    syncDirectory(folder);
    return {};
}

long long recordCountOf(const std::string& path)
{
    TWinBtr btr;
    if (btr.Open(path, "", btr::OpenReadOnly) != btr::StatusSuccess)
        return -1;
    const bool ok = btr.Stat() == btr::StatusSuccess;
    long long count = -1;
    if (ok) {
        int32_t records = 0;
        std::memcpy(&records, btr.StatBuffer + 6, sizeof records);
        count = records;
    }
    btr.Close();
    return count;
}

std::vector<BackupCopy> listBackups(const std::string& directory, const std::string& fileName)
{
    std::vector<BackupCopy> out;
    const std::string folder = backupFolder(directory);
    std::error_code ec;
    if (folder.empty() || !fs::is_directory(folder, ec))
        return out;
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        const std::string n = entry.path().filename().string();
        if (n.size() > 20 && n[n.size() - 20] == '.' && isStamp(std::string_view(n).substr(n.size() - 19)))
            names.push_back(n);
    }
    const std::string wanted = upper(fileName);
    for (const std::string& n : names) {
        BackupCopy copy;
        copy.fileName = n.substr(0, n.size() - 20);
        if (!wanted.empty() && upper(copy.fileName) != wanted)
            continue;
        const std::string s = n.substr(n.size() - 19);
        copy.path = folder + "/" + n;
        copy.taken = s.substr(0, 4) + "-" + s.substr(4, 2) + "-" + s.substr(6, 2) + " " + s.substr(9, 2) +
                     ":" + s.substr(11, 2) + ":" + s.substr(13, 2);
        copy.size = fs::file_size(copy.path, ec);
        copy.records = recordCountOf(copy.path);
        out.push_back(std::move(copy));
    }
    std::sort(out.begin(), out.end(), [](const BackupCopy& a, const BackupCopy& b) {
        return a.path.substr(a.path.size() - 19) != b.path.substr(b.path.size() - 19)
                   ? a.path.substr(a.path.size() - 19) < b.path.substr(b.path.size() - 19)
                   : a.fileName < b.fileName;
    });
    return out;
}

std::string restoreBackup(const BackupCopy& copy, const std::string& directory)
{
    std::error_code ec;
    if (!fs::is_regular_file(copy.path, ec))
        return "the copy " + copy.path + " is not there";
    const std::string named = (fs::path(directory) / copy.fileName).string();
    const std::string target = btrieve::findExistingFile(named).value_or(named);
    if (fs::exists(target, ec))
        if (const std::string why = backUpFile(target); !why.empty())
            return why;
    // The copy goes in whole under a temporary name first; only then does the journal of the
    // file it replaces go, right before the rename.
    const fs::path t(target);
    const std::string temp = (t.parent_path() / ("." + t.filename().string() + ".restoring")).string();
    if (const std::string why = copyDurably(copy.path, temp); !why.empty()) {
        fs::remove(temp, ec);
        return why;
    }
    fs::remove(target + "-journal", ec);
    if (const std::string why = renameDurably(temp, target); !why.empty()) {
        fs::remove(temp, ec);
        return why;
    }
    return {};
}

} // namespace dict

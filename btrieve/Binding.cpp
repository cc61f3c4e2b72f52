#include "Binding.h"
#include "Status.h"
#include "Text.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <vector>

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace btrieve {
namespace {

constexpr const char* kVariable = "QUILLAN_RECORD_MANAGER";
constexpr const char* kEntryPoint = "BTRCALLID";

// What one attempt to take up a library gave: the entry point and the file it came from, or why
// not. notFound tells "nothing of that name" apart from "there, but unusable"; missingEntry says
// the library loaded but lacks the entry point.
struct LibraryAttempt {
    BtrCallFn call = nullptr;
    std::string path;
    std::string error;
    bool notFound = false;
    bool missingEntry = false;
};

#if defined(_WIN32)

std::string lastErrorText(DWORD code)
{
    char* text = nullptr;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string result = n && text ? std::string(text, n) : "error " + std::to_string(code);
    if (text)
        LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == '.'))
        result.pop_back();
    return result;
}

LibraryAttempt openLibrary(const std::string& nameOrPath)
{
    LibraryAttempt attempt;
    // No system dialog box for a library that cannot be loaded: the caller reports it.
    DWORD oldMode = 0;
    SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &oldMode);
    HMODULE module = LoadLibraryA(nameOrPath.c_str());
    SetThreadErrorMode(oldMode, nullptr);
    if (!module) {
        DWORD code = GetLastError();
        attempt.error = lastErrorText(code);
        attempt.notFound = code == ERROR_MOD_NOT_FOUND;
        return attempt;
    }
    FARPROC entry = GetProcAddress(module, kEntryPoint);
    if (!entry) {
        FreeLibrary(module);
        attempt.missingEntry = true;
        attempt.error = std::string("it does not export ") + kEntryPoint;
        return attempt;
    }
    attempt.call = reinterpret_cast<BtrCallFn>(reinterpret_cast<void*>(entry));
    char path[MAX_PATH] = {};
    DWORD n = GetModuleFileNameA(module, path, MAX_PATH);
    attempt.path = n ? std::string(path, n) : nameOrPath;
    return attempt;
}

// The names of the record-manager libraries, tried in this order through the system's own
// search order (the program's directory, the system directories, PATH).
std::vector<std::string> systemLibraryNames()
{
    if (sizeof(void*) == 8)
        return {"w64btrv.dll"};
    return {"W3BTRV7.DLL", "WBTRV32.DLL"};
}

std::vector<std::string> systemLibraryDirs()
{
    return {};
}

#else

LibraryAttempt openLibrary(const std::string& nameOrPath)
{
    LibraryAttempt attempt;
    dlerror();
    void* handle = dlopen(nameOrPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* text = dlerror();
        attempt.error = text ? text : "unknown error";
        const std::string prefix = nameOrPath + ": ";
        if (attempt.error.rfind(prefix, 0) == 0)
            attempt.error.erase(0, prefix.size());
        attempt.notFound = attempt.error.find("No such file") != std::string::npos;
        return attempt;
    }
    dlerror();
    void* entry = dlsym(handle, kEntryPoint);
    if (!entry) {
        dlclose(handle);
        attempt.missingEntry = true;
        attempt.error = std::string("it does not export ") + kEntryPoint;
        return attempt;
    }
    attempt.call = reinterpret_cast<BtrCallFn>(entry);
    Dl_info info{};
    std::error_code ec;
    std::filesystem::path path = dladdr(entry, &info) && info.dli_fname ? info.dli_fname : nameOrPath;
    attempt.path = path.has_parent_path() ? std::filesystem::absolute(path, ec).string() : path.string();
    return attempt;
}

#if defined(__APPLE__)
std::vector<std::string> systemLibraryNames()
{
    return {"libpsqlmif.dylib"};
}

std::vector<std::string> systemLibraryDirs()
{
    return {"/usr/local/psql/lib", "/usr/local/actianzen/lib", "/usr/local/lib", "/opt/homebrew/lib"};
}
#else
std::vector<std::string> systemLibraryNames()
{
    return {"libpsqlmif.so", "libbtrvif.so"};
}

std::vector<std::string> systemLibraryDirs()
{
    std::vector<std::string> dirs = {"/usr/local/psql/lib64",      "/usr/local/psql/lib",
                                     "/usr/local/actianzen/lib64", "/usr/local/actianzen/lib",
                                     "/usr/local/lib64",           "/usr/local/lib"};
#if defined(__x86_64__)
    dirs.push_back("/usr/lib/x86_64-linux-gnu");
#elif defined(__aarch64__)
    dirs.push_back("/usr/lib/aarch64-linux-gnu");
#endif
    dirs.push_back("/usr/lib64");
    dirs.push_back("/usr/lib");
    return dirs;
}
#endif

#endif

std::string joined(const std::vector<std::string>& items, const char* lastSeparator)
{
    std::string text;
    for (size_t i = 0; i < items.size(); ++i)
        text += (i == 0 ? "" : i + 1 == items.size() ? lastSeparator : ", ") + items[i];
    return text;
}

// Looks for a real record manager where it installs: every known name in every installation
// directory, then the name alone through the loader's search path. A library that is there but
// unusable is skipped and reported in *error when nothing usable is found.
LibraryAttempt findSystemLibrary(std::string* error)
{
    const std::vector<std::string> names = systemLibraryNames();
    const std::vector<std::string> dirs = systemLibraryDirs();
    std::vector<std::string> unusable;
    for (const std::string& name : names) {
        std::vector<std::string> candidates;
        for (const std::string& dir : dirs) {
            std::error_code ec;
            std::filesystem::path path = std::filesystem::path(dir) / name;
            if (std::filesystem::exists(path, ec))
                candidates.push_back(path.string());
        }
        candidates.push_back(name);
        for (const std::string& candidate : candidates) {
            LibraryAttempt attempt = openLibrary(candidate);
            if (attempt.call)
                return attempt;
            if (!attempt.notFound)
                unusable.push_back(candidate + " (" + attempt.error + ")");
        }
    }
    if (unusable.empty()) {
        std::string where = dirs.empty() ? "" : " in " + joined(dirs, ", ") + " and";
        *error = "no Btrieve record manager library was found (looked for " + joined(names, " and ") + where +
                 " on the loader's search path)";
    } else {
        *error =
            "no usable Btrieve record manager library was found; could not load " + joined(unusable, "; ");
    }
    return {};
}

int16_t BTRCALL_CONV inactiveCall(uint16_t, void*, void*, uint32_t*, void*, uint8_t, int8_t, void*)
{
    return btr::StatusRecordManagerInactive;
}

std::string trimmed(const char* text)
{
    std::string value = text ? text : "";
    auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
    value.erase(value.begin(), std::find_if_not(value.begin(), value.end(), blank));
    value.erase(std::find_if_not(value.rbegin(), value.rend(), blank).base(), value.end());
    return value;
}

// The chosen call and how it is described. call is read on every record-manager call without
// taking the lock; the lock serialises choosing.
struct Binding {
    std::mutex mutex;
    std::atomic<BtrCallFn> call{nullptr};
    std::atomic<BtrCallFn> testOverride{nullptr};
    std::string description;
};

Binding& binding()
{
    static Binding instance;
    return instance;
}

// Takes up the library the user named, with a message that says which library and why on failure.
LibraryAttempt openNamedLibrary(const std::string& path, std::string* error)
{
    LibraryAttempt attempt = openLibrary(path);
    if (!attempt.call && error) {
        if (attempt.missingEntry)
            *error = "the record manager library \"" + path + "\" does not export " + kEntryPoint;
        else
            *error = "cannot load the record manager library \"" + path + "\": " + attempt.error;
    }
    return attempt;
}

} // namespace

BtrCallFn loadRecordManagerLibrary(const std::string& path, std::string* error)
{
    return openNamedLibrary(path, error).call;
}

bool initRecordManager(std::string* error)
{
    Binding& b = binding();
    std::lock_guard<std::mutex> lock(b.mutex);
    const std::string value = trimmed(std::getenv(kVariable));

    BtrCallFn call = nullptr;
    std::string description;
    std::string failure;
    if (value.empty()) {
        std::string ignored;
        LibraryAttempt found = findSystemLibrary(&ignored);
        call = found.call ? found.call : &QuillanEngineCall;
        description = found.call ? found.path : "embedded";
    } else if (text::equalIgnoringAsciiCase(value, "embedded")) {
        call = &QuillanEngineCall;
        description = "embedded";
    } else if (text::equalIgnoringAsciiCase(value, "system")) {
        std::string why;
        LibraryAttempt found = findSystemLibrary(&why);
        call = found.call;
        description = found.path;
        if (!call)
            failure = std::string(kVariable) + "=system: " + why;
    } else {
        std::string why;
        LibraryAttempt named = openNamedLibrary(value, &why);
        call = named.call;
        description = named.path;
        if (!call)
            failure = std::string(kVariable) + ": " + why;
    }

    if (!call) {
        b.call = &inactiveCall;
        b.description = "unavailable: " + failure;
        if (error)
            *error = failure;
        return false;
    }
    b.call = call;
    b.description = description;
    return true;
}

BtrCallFn recordManager()
{
    Binding& b = binding();
    if (BtrCallFn fn = b.testOverride.load())
        return fn;
    if (BtrCallFn fn = b.call.load())
        return fn;
    initRecordManager(nullptr);
    return b.call.load();
}

std::string recordManagerDescription()
{
    Binding& b = binding();
    if (!b.call.load())
        initRecordManager(nullptr);
    std::lock_guard<std::mutex> lock(b.mutex);
    return b.description;
}

void setRecordManagerForTesting(BtrCallFn fn)
{
    binding().testOverride = fn;
}

} // namespace btrieve

#pragma once
// A fresh scratch directory per test, removed afterwards. Lives under QUILLAN_TEST_TMP when
// CTest sets it, else under the system temporary directory.
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace testsupport {

class TempDir {
public:
    TempDir()
    {
        static std::atomic<int> counter{0};
        const char* base = std::getenv("QUILLAN_TEST_TMP");
        std::filesystem::path root = base && *base ? std::filesystem::path(base)
                                                   : std::filesystem::temp_directory_path() / "quillan-tests";
        mPath = root / ("t" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        std::filesystem::remove_all(mPath);
        std::filesystem::create_directories(mPath);
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(mPath, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return mPath; }
    std::string file(const std::string& name) const { return (mPath / name).string(); }

private:
    std::filesystem::path mPath;
};

// Makes a directory the process's current directory for one scope.
class CurrentDirGuard {
public:
    explicit CurrentDirGuard(const std::filesystem::path& dir) : mOld(std::filesystem::current_path())
    {
        std::filesystem::current_path(dir);
    }
    ~CurrentDirGuard()
    {
        std::error_code ec;
        std::filesystem::current_path(mOld, ec);
    }

private:
    std::filesystem::path mOld;
};

} // namespace testsupport

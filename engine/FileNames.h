#pragma once
// File names as the record manager sees them: the name in a key buffer, the look-up that ignores
// letter case when the name does not exist as written, and the file that Open and Create take
// for a name with blanks in it.
#include <cstdint>
#include <optional>
#include <string>

namespace engine {

// The file name in a key buffer: its bytes up to the first NUL, at most keyLength bytes (255
// when keyLength is 0), trailing blanks dropped. Blanks inside it stay ("Sales Data/X.BTR").
// Empty when the buffer is missing or holds blanks only.
std::string nameFromKeyBuffer(const void* keyBuffer, uint8_t keyLength);

// The part of a name before its first blank; the whole name when it has none.
std::string nameBeforeBlank(const std::string& name);

// The existing file a name stands for: the name itself when it exists; else, a backslash taken
// as a separator like a slash (names written on Windows), each part of the name in turn the
// entry of its directory whose name differs from it at most in the case of ASCII letters (the
// first such entry in byte order when there are several). nullopt when there is none.
std::optional<std::string> findExistingFile(const std::string& name);

// The file Open takes: the whole name's file when it exists, else the file of the part before
// the first blank when that is a regular file (callers that end a name with a blank and leave
// other text after it). nullopt when neither exists.
std::optional<std::string> findFileToOpen(const std::string& name);

// The name with its directory found as findExistingFile finds it (backslashes as separators,
// letter case ignored where the exact directory does not exist), its last part as given; the
// name unchanged when its directory does not exist either way.
std::string nameWithDirectoryResolved(const std::string& name);

// The name Create makes its file under: the whole name when its directory exists, else the part
// before the first blank (callers that end a name with a blank and leave other text after it);
// its directory resolved as nameWithDirectoryResolved does.
std::string nameToCreate(const std::string& name);

// The ending of a file being filled before it replaces another (".FIELD.DDF.quillan-new"):
// nobody else reads such a file until it is renamed, so the embedded engine keeps all its
// writes in one transaction until Close and leaves syncing it to the caller. Create of such a
// name refuses what a Create of the file it is to replace would refuse (a genuine file, a file
// open in this process).
constexpr const char* kPrivateFileSuffix = ".quillan-new";

// Whether the file name (its last component) ends with kPrivateFileSuffix.
bool isPrivateFileName(const std::string& name);

// The name a private file is made to replace: its directory, its name without the leading dot
// and kPrivateFileSuffix (".FIELD.DDF.quillan-new" -> "FIELD.DDF"); and the other way round.
std::string privateFileTarget(const std::string& privateName);
std::string privateFileFor(const std::string& name);

} // namespace engine

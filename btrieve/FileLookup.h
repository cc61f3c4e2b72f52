#pragma once
// File names as the record manager takes them, for the layers above it: which existing file a
// name stands for (letter case of ASCII letters ignored where the name does not exist as
// written, backslashes as separators), which file a Create would replace, and the private files
// a dictionary set is staged in before they replace the real ones. The rules themselves are the
// embedded record manager's (engine/FileNames.h); the layers above see them only through here.
#include <optional>
#include <string>

namespace btrieve {

// The existing file a name stands for; nullopt when there is none.
std::optional<std::string> findExistingFile(const std::string& name);

// The file that a Create of `location` (stored bytes: ended by a NUL or blanks) would replace,
// when one exists.
std::optional<std::string> fileCreateWouldReplace(const std::string& location);

// The ending of a file being filled before it replaces another (".FIELD.DDF.quillan-new").
extern const char* const kPrivateFileSuffix;
// Whether the file name (its last component) ends with kPrivateFileSuffix.
bool isPrivateFileName(const std::string& name);
// The name a private file is made to replace, and the other way round.
std::string privateFileTarget(const std::string& privateName);
std::string privateFileFor(const std::string& name);

} // namespace btrieve

#pragma once
// The window tests' small helpers: names padded as the dictionary stores them, whole files as
// QByteArray.
#include "TestFiles.h"

#include <QByteArray>
#include <QString>

#include <filesystem>
#include <string_view>

namespace testsupport {

// The text with blanks appended up to `width` characters (the stored width of a name).
inline QString pad(const QString& text, int width = 20)
{
    return text.leftJustified(width, QLatin1Char(' '));
}

inline void writeFile(const std::filesystem::path& path, const QByteArray& bytes)
{
    writeFile(path, std::string_view(bytes.constData(), std::size_t(bytes.size())));
}

// A text literal, up to its first NUL.
inline void writeFile(const std::filesystem::path& path, const char* text)
{
    writeFile(path, std::string_view(text));
}

inline QByteArray readFileBytes(const std::filesystem::path& path)
{
    return QByteArray::fromStdString(readFile(path));
}

} // namespace testsupport

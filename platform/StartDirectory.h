#pragma once
// The directory the window starts browsing in, from the program's command line.
#include <QString>
#include <QStringList>

namespace platform {

// What the command line asks for: the directory to start in (empty: stay in the current one),
// or why the command line cannot be followed.
struct StartDirectory {
    QString directory;
    QString error;
};

// arguments are the program's arguments after its name, with the windowing system's own options
// already taken out. The first argument names the directory; a file stands for the directory
// that holds it (a file manager hands over what the user chose). A relative path is taken from
// currentDirectory. No argument: the current directory stays.
StartDirectory startDirectory(const QStringList& arguments, const QString& currentDirectory);

} // namespace platform

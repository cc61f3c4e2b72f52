#include "StartDirectory.h"

#include <QDir>
#include <QFileInfo>

namespace platform {

StartDirectory startDirectory(const QStringList& arguments, const QString& currentDirectory)
{
    StartDirectory result;
    if (arguments.isEmpty())
        return result;
    if (arguments.size() > 1) {
        result.error = QStringLiteral("Quillan takes one directory to start in, not %1 arguments.")
                           .arg(arguments.size());
        return result;
    }
    const QString& given = arguments.front();
    if (given.isEmpty()) {
        result.error = QStringLiteral("The directory to start in is empty.");
        return result;
    }
    const QFileInfo info(QDir(currentDirectory), given);
    if (!info.exists()) {
        result.error = QStringLiteral("The directory %1 does not exist.").arg(given);
        return result;
    }
    const QString directory = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
    if (!QFileInfo(directory).isExecutable()) {
        result.error = QStringLiteral("The directory %1 cannot be entered.").arg(directory);
        return result;
    }
    result.directory = QDir::cleanPath(directory);
    return result;
}

} // namespace platform

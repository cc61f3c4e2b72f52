#include "FileSystem.h"

#include <QFile>

#include <cerrno>
#include <cstdio>

EInOutError::EInOutError(int code, const QString& message)
    : std::runtime_error(message.toStdString()), mCode(code)
{
}

EInOutError EInOutError::fromErrno(int err)
{
    switch (err) {
    case ENOENT:
    case ENOTDIR:
        return EInOutError(2, QStringLiteral("File not found"));
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case EBUSY:
    case ETXTBSY:
        return EInOutError(5, QStringLiteral("File access denied"));
    default:
        return EInOutError(err, QStringLiteral("I/O error %1").arg(err));
    }
}

void eraseFile(const QString& path)
{
    if (std::remove(QFile::encodeName(path).constData()) != 0)
        throw EInOutError::fromErrno(errno);
}

#include "Backups.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace platform {

namespace {

// The file of that name in its directory, letter case ignored; empty when there is none.
QString existingFile(const QString& path)
{
    const QFileInfo info(path);
    if (info.isFile())
        return info.absoluteFilePath();
    const QDir dir = info.absoluteDir();
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
        if (name.compare(info.fileName(), Qt::CaseInsensitive) == 0)
            return dir.absoluteFilePath(name);
    return {};
}

} // namespace

QString backupFolder(const QString& directory)
{
    const QString clean = QDir::cleanPath(QDir::fromNativeSeparators(directory));
    QString readable;
    for (const QChar c : clean)
        readable +=
            c.isLetterOrNumber() || c == QLatin1Char('.') || c == QLatin1Char('-') ? c : QLatin1Char('_');
    while (readable.startsWith(QLatin1Char('_')))
        readable.remove(0, 1);
    if (readable.size() > 80)
        readable = readable.right(80);
    const QByteArray hash =
        QCryptographicHash::hash(clean.toUtf8(), QCryptographicHash::Sha1).toHex().left(8);
    const QString root = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return root + QStringLiteral("/backups/") + (readable.isEmpty() ? QStringLiteral("root") : readable) +
           QLatin1Char('-') + QString::fromLatin1(hash);
}

QString backUpFile(const QString& path, int keep)
{
    const QString source = existingFile(path);
    if (source.isEmpty())
        return {};
    const QFileInfo info(source);
    const QString folder = backupFolder(info.absolutePath());
    if (!QDir().mkpath(folder))
        return QStringLiteral("the backup folder %1 could not be made").arg(QDir::toNativeSeparators(folder));

    const QString name = info.fileName().toUpper();
    QDateTime when = QDateTime::currentDateTime();
    QString target;
    do {
        target = folder + QLatin1Char('/') + name + QLatin1Char('.') +
                 when.toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
        when = when.addMSecs(1);
    } while (QFileInfo::exists(target));
    if (!QFile::copy(source, target)) {
        QFile::remove(target);
        return QStringLiteral("its backup copy %1 could not be written")
            .arg(QDir::toNativeSeparators(target));
    }

    QStringList copies = QDir(folder).entryList({name + QStringLiteral(".*")}, QDir::Files, QDir::Name);
    while (copies.size() > keep)
        QFile::remove(folder + QLatin1Char('/') + copies.takeFirst());
    return {};
}

} // namespace platform

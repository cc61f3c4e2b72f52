#include "FileBrowser.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QStyle>

#include <cerrno>
#include <cstdio>

// ---- DriveSelector ----

DriveSelector::DriveSelector(QWidget* parent) : QComboBox(parent)
{
    QStringList roots;
    for (const QFileInfo& drive : QDir::drives())
        roots << QDir::cleanPath(drive.absoluteFilePath());
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const QString root = QDir::cleanPath(volume.rootPath());
        if (volume.isValid() && volume.isReady() && QFileInfo(root).isDir() && !roots.contains(root))
            roots << root;
    }
    std::sort(roots.begin() + std::min<qsizetype>(1, roots.size()), roots.end());
    for (const QString& root : roots)
        addItem(root, root);
    connect(this, &QComboBox::activated, this,
            [this](int index) { emit driveChosen(itemData(index).toString()); });
}

void DriveSelector::showDriveOf(const QString& directory)
{
    const QString dir = QDir::cleanPath(directory);
    int best = -1;
    qsizetype bestLength = -1;
    for (int i = 0; i < count(); ++i) {
        const QString root = itemData(i).toString();
        const bool holds = dir.compare(root, Qt::CaseInsensitive) == 0 ||
                           dir.startsWith(root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/'),
                                          Qt::CaseInsensitive);
        if (holds && root.size() > bestLength) {
            best = i;
            bestLength = root.size();
        }
    }
    setCurrentIndex(best);
}

// ---- DirectoryList ----

DirectoryList::DirectoryList(QWidget* parent) : TListBox(parent)
{
    setUniformItemSizes(true);
    connect(this, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { emit directoryChosen(item->data(Qt::UserRole).toString()); });
}

void DirectoryList::setDirectory(const QString& directory)
{
    mDirectory = QDir::cleanPath(QDir(directory).absolutePath());
    clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);

    QStringList chain;
    QDir walk(mDirectory);
    chain.prepend(walk.absolutePath());
    while (walk.cdUp())
        chain.prepend(walk.absolutePath());
    int depth = 0;
    auto add = [&](const QString& path, const QIcon& icon, int level) {
        QString name = QFileInfo(path).fileName();
        if (name.isEmpty())
            name = QDir::toNativeSeparators(path);
        auto* item = new QListWidgetItem(icon, QString(level * 2, QLatin1Char(' ')) + name, this);
        item->setData(Qt::UserRole, path);
        item->setToolTip(QDir::toNativeSeparators(path));
        return item;
    };
    QListWidgetItem* current = nullptr;
    for (const QString& path : chain)
        current = add(path, open, depth++);
    const QStringList subdirs =
        QDir(mDirectory).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : subdirs)
        add(QDir(mDirectory).filePath(name), closed, depth);
    setCurrentItem(current);
}

// ---- FilterSelector ----

FilterSelector::FilterSelector(QWidget* parent) : QComboBox(parent)
{
    addItem(QStringLiteral("Dictionary Files (*.DDF)"), QStringLiteral("*.DDF"));
    addItem(QStringLiteral("Btrieve Files (*.BTR)"), QStringLiteral("*.BTR"));
    addItem(QStringLiteral("All Files (*.*)"), QStringLiteral("*.*"));
    addItem(QStringLiteral("Pascal Files (*.PAS)"), QStringLiteral("*.PAS"));
    connect(this, &QComboBox::activated, this,
            [this](int index) { emit maskChosen(itemData(index).toString()); });
}

// ---- FileList ----

FileList::FileList(QWidget* parent) : TListBox(parent)
{
    setUniformItemSizes(true);
}

void FileList::setDirectory(const QString& directory)
{
    mDirectory = directory;
    reread();
}

void FileList::setMask(const QString& mask)
{
    mMask = mask;
    reread();
}

void FileList::reread()
{
    clear();
    if (mDirectory.isEmpty())
        return;
    // "*.*" matches every name, with or without a dot, as it did on the original system.
    const QStringList filters{mMask == QLatin1String("*.*") ? QStringLiteral("*") : mMask};
    const QStringList names = QDir(mDirectory).entryList(filters, QDir::Files, QDir::Name | QDir::IgnoreCase);
    addItems(names);
}

QString FileList::fileName() const
{
    const QListWidgetItem* item = currentItem();
    if (!item || !item->isSelected())
        return {};
    return QDir(mDirectory).filePath(item->text());
}

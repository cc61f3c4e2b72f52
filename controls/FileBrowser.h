#pragma once
// The file browser of the main window: drive selector, directory list, filter selector and file
// list. The widgets only show and report; TMain decides what a choice does (it owns the process's
// current directory).
#include <QComboBox>
#include <QString>

#include "AddComp.h"

// Roots to choose from: "/" and every mounted volume that is a directory (drive letters on
// systems that have them).
class DriveSelector : public QComboBox {
    Q_OBJECT
public:
    explicit DriveSelector(QWidget* parent = nullptr);
    // Selects the root that holds `directory` (the longest matching root).
    void showDriveOf(const QString& directory);
    QString drive() const { return currentData().toString(); }

signals:
    void driveChosen(const QString& root); // user's choice only
};

// Ancestors of the directory, the directory itself and its subdirectories, indented by depth.
// Activating an item (double click, Enter) reports it; setDirectory only shows.
class DirectoryList : public TListBox {
    Q_OBJECT
public:
    explicit DirectoryList(QWidget* parent = nullptr);
    QString directory() const { return mDirectory; }
    void setDirectory(const QString& directory);

signals:
    void directoryChosen(const QString& directory);

private:
    QString mDirectory;
};

// The four file-type filters, each with its mask.
class FilterSelector : public QComboBox {
    Q_OBJECT
public:
    explicit FilterSelector(QWidget* parent = nullptr);
    QString mask() const { return currentData().toString(); }

signals:
    void maskChosen(const QString& mask); // user's choice only
};

// Files of one directory whose names match a mask, letter case ignored, sorted by name.
// Re-reading empties the selection.
class FileList : public TListBox {
    Q_OBJECT
public:
    explicit FileList(QWidget* parent = nullptr);
    QString directory() const { return mDirectory; }
    void setDirectory(const QString& directory);
    QString mask() const { return mMask; }
    void setMask(const QString& mask);
    void reread();
    // Full path of the selected file, empty when none is selected.
    QString fileName() const;

private:
    QString mDirectory;
    QString mMask = QStringLiteral("*.DDF");
};

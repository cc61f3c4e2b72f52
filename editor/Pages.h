#pragma once
// The window's pages as classes. Each page is the tab widget PageControl shows: it builds its
// own controls (each named as its member, objectName likewise), owns them and their handlers,
// and reaches the window only through TMain's shared services and the narrow calls of the
// other pages. A dictionary page shows one dictionary file; registered with the window
// (TMain::registerPage), it takes part in every whole-set operation (New DDFs, Open DDFs,
// Build DDFs, the quit question, code page changes, the edit history) through DictionaryPage.
#include "DictionaryIo.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>
#include <vector>

class QComboBox;
class TMain;
class TVarGrid;
namespace grid {
class Page;
}

// A tab of the window: `objectName` names it (and its tab widget) as the design does.
class WindowPage : public QWidget {
public:
    WindowPage(TMain& window, const char* objectName);
    // Connects the page's controls to its handlers; run once every page is built.
    virtual void wire() = 0;
    // The control that grows with the window, and those that grow in height only.
    virtual QWidget* growing() const = 0;
    virtual std::vector<QWidget*> tall() const { return {}; }

protected:
    TMain& w;
};

// A page that shows one dictionary file in its grid: what the window's whole-set operations
// need of it. The page made its grid::Page (page()) with its grid.
class DictionaryPage : public WindowPage {
public:
    DictionaryPage(TMain& window, const char* objectName, const char* caption, const char* rowThing,
                   std::vector<int> nameColumns, int nameColumn);
    ~DictionaryPage() override;

    // "Files", "Fields", ...: the page as messages name it.
    const QString caption;
    // What a row of the grid is called in a step's name ("Field"), and its name's column.
    const QString rowThing;
    const int nameColumn;
    // The columns that hold stored names (a code page change reads them again).
    const std::vector<int> nameColumns;
    // The name of the grid's current row, quoted, for a step's name; empty on the entry row.
    QString rowName() const;
    grid::Page& page() const { return *mPage; }

    // The rules that follow the current row (the entry rule, the lists beside the grid).
    virtual void refreshRow() = 0;
    // The page's own Open of its file (Open DDFs read the file before: page().pending).
    virtual void open() = 0;
    // The page's Build of its file.
    virtual void build() = 0;
    // Open DDFs found no file of the page's (allowed only when fileMayBeMissing()): the page
    // starts empty and holds the set.
    virtual void openWithoutFile() = 0;
    virtual bool fileMayBeMissing() const { return false; }
    // New DDFs, after the pages before this one started theirs.
    virtual void startNewSet() = 0;
    // The directory was read again: `present` tells whether it holds the page's file.
    virtual void showFileInDirectory(bool present) { (void)present; }
    // The page's filter box; nullptr when it has none.
    virtual QComboBox* filterBox() const { return nullptr; }

protected:
    std::unique_ptr<grid::Page> mPage;
};

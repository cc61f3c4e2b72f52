#pragma once
// The ExtFields page (FIELDEXT.DDF): ExtGrid with table and field names in place of ids, the
// File, Field, Field Type and File Filter lists, Delete Field, Build and Open.
#include "AddComp.h"
#include "Pages.h"
#include "RecordArray.h"

#include <QComboBox>
#include <QHash>
#include <QLabel>
#include <QPushButton>

#include <functional>

class ExtFieldsPage : public DictionaryPage {
public:
    explicit ExtFieldsPage(TMain& window);

    TVarGrid* ExtGrid;
    QLabel* LChooseFiles;
    QComboBox* ChooseFiles;
    QLabel* LChooseExtField;
    QComboBox* ChooseExtField;
    QLabel* LDataType;
    QComboBox* ExtType;
    QLabel* LExtFileFilter;
    QComboBox* ExtFileFilter;
    QPushButton* DeleteExt;
    QPushButton* BuildFieldExtDDF;
    QPushButton* OpenFieldExtDDF;
    QStringList HiddenExtRows; // ExtGrid rows set aside by the File Filter

    void ExtGridKeyUp(int key);
    void ExtGridMouseUp();
    void ChooseFilesChange();
    void ChooseExtFieldChange();
    void ExtTypeChange();
    void ExtFileFilterChange();
    void DeleteExtClick();
    // Its row refresh first; names become ids within each row's own table; every row is
    // converted before FIELDEXT.DDF is backed up and replaced; rows left out are reported.
    void BuildFieldExtDDFClick();
    void OpenFieldExtDDFClick();
    // Refreshes the Files and Fields pages on their row 1, then the entry rule by file name and
    // the File, Field and Field Type lists for the current row.
    void RefreshExtRow();
    void SortExtGrid();
    void RestoreExtRows();

    // ---- For the other pages ----
    // The extended type codes of a table's fields (rows the filter set aside included), by the
    // field's name padded and upper-cased (ASCII); the first row of a name counts.
    QHash<QString, int> extendedTypesOf(const QString& tableName) const;
    // A row above the entry row: table and field named as given, its ids kept with it when known.
    void addRow(const QString& table, const QString& field, int code, std::optional<RowIds> ids);
    // The rows of the table (names compared padded, letter case ignored) that the grid shows go.
    void dropTableRows(const QString& tableName);
    // `rows` (table, field, code) are added above the entry row.
    void addRows(std::vector<QStringList> rows);
    // Runs `changed` after every change of the grid's rows.
    void onRowsChanged(const std::function<void()>& changed);

    // ---- DictionaryPage ----
    void wire() override;
    QWidget* growing() const override { return ExtGrid; }
    void refreshRow() override { RefreshExtRow(); }
    void open() override { OpenFieldExtDDFClick(); }
    void build() override { BuildFieldExtDDFClick(); }
    void openWithoutFile() override;
    bool fileMayBeMissing() const override { return true; }
    void startNewSet() override;
    void showFileInDirectory(bool present) override { OpenFieldExtDDF->setEnabled(present); }
    QComboBox* filterBox() const override { return ExtFileFilter; }

private:
    // The record array behind Open and Build, slot n = record n + 1 of FIELDEXT.DDF.
    dict::RecordArray mExtTableArray = dict::makeExtTableArray();
    // The ids of ChooseExtField's items, item i's in [i].
    std::vector<qint32> mChooseExtFieldIds;
};

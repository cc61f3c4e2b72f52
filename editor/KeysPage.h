#pragma once
// The Keys page (INDEX.DDF): KeyGrid with table and field names in place of ids, the eleven
// key-flag boxes, the Table Filter, the Field list, Add Key, Delete Key, Build, New and Open.
#include "AddComp.h"
#include "Pages.h"
#include "RecordArray.h"

#include <QComboBox>
#include <QLabel>
#include <QList>
#include <QPushButton>

#include <vector>

namespace dict {
class BuildReport;
struct IndexRecord;
} // namespace dict

class KeysPage : public DictionaryPage {
public:
    explicit KeysPage(TMain& window);

    TVarGrid* KeyGrid;
    QLabel* LIndexFilter;
    QComboBox* IndexFilter;
    QLabel* LChooseField;
    QComboBox* ChooseField;
    QPushButton* AddKey;
    QPushButton* DeleteKey;
    QPushButton* BuildKeysDDF;
    QPushButton* ClearKeysDDF;
    QPushButton* OpenKeysDDF;
    TVarCheckBox* ChDuplicates;
    TVarCheckBox* ChModifiable;
    TVarCheckBox* ChBinary;
    TVarCheckBox* ChNullKey_AllSeg;
    TVarCheckBox* ChSegmented;
    TVarCheckBox* ChACS;
    TVarCheckBox* ChDescending;
    TVarCheckBox* ChRepeatDupl;
    TVarCheckBox* ChExtType;
    TVarCheckBox* ChNullKey_AnySeg;
    TVarCheckBox* ChCaseInsens;
    QStringList HiddenKeyRows; // KeyGrid rows set aside by the Table Filter
    // The eleven key-flag boxes in bit order (ChDuplicates .. ChCaseInsens).
    QList<TVarCheckBox*> keyFlagBoxes() const;

    void KeyGridKeyUp(int key);
    void KeyGridMouseUp();
    void ChClickKey(TVarCheckBox* sender);
    void ChooseFieldChange();
    void IndexFilterChange();
    void AddKeyClick();
    void DeleteKeyClick();
    void ClearKeysDDFClick();
    void OpenKeysDDFClick();
    // Needs the loaded mark. Names become ids through the Files and Fields pages; every row is
    // converted before INDEX.DDF is backed up and replaced; rows left out are reported after it.
    void BuildKeysDDFClick();
    // Refreshes the Files and Fields pages on their row 1, then the entry rule by table name, the
    // Field list, the key-flag boxes and the Table Filter list for the current row.
    void RefreshKeyRow();
    void SortKeyGrid();
    void RestoreKeyRows();

    // ---- For the other pages ----
    // The Fields page holds a dictionary: New and Open of INDEX.DDF may run.
    void fieldsStarted();

    // ---- DictionaryPage ----
    void wire() override;
    QWidget* growing() const override { return KeyGrid; }
    void refreshRow() override { RefreshKeyRow(); }
    void open() override { OpenKeysDDFClick(); }
    void build() override { BuildKeysDDFClick(); }
    void openWithoutFile() override;
    bool fileMayBeMissing() const override { return true; }
    void startNewSet() override { ClearKeysDDFClick(); }
    QComboBox* filterBox() const override { return IndexFilter; }

private:
    void markKeyGridLoaded();
    // The Field list and the flag boxes follow the current row.
    void showKeyRowControls();
    // A key with a row edited since the page was opened or built, compared with the same key of
    // its table's data file; what differs is noted on the key's edited rows.
    void noteKeysUnlikeTheirDataFiles(const std::vector<dict::IndexRecord>& records,
                                      const std::vector<int>& rows, dict::BuildReport& report);
    // The record array behind Open and Build, slot n = record n + 1 of INDEX.DDF.
    dict::RecordArray mIndexTableArray = dict::makeIndexTableArray();
    // The ids of ChooseField's items, item i's in [i].
    std::vector<qint32> mChooseFieldIds;
};

#pragma once
// The Utils page: the Pascal record scanner (RecordScanner.cpp), the type mapping it reads and
// "Quillan.rec" that keeps it (TypeMapping.cpp), and the database alias registry (Aliases.cpp).
// Layout and connections are in UtilsPage.cpp.
#include "AddComp.h"
#include "Pages.h"
#include "PascalScanner.h"
#include "Registry.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include <memory>
#include <optional>
#include <vector>

// RecordGrid's column of a field's variant, shown only for a record that has a variant part.
inline constexpr int kRecordVariantColumn = 5;

class UtilsPage : public WindowPage {
public:
    explicit UtilsPage(TMain& window);

    QLabel* LRecordList;
    QLabel* CurFile;
    TListBox* FindRecord;
    TVarGrid* RecordGrid;
    QPushButton* Search;
    QCheckBox* ChResolve; // "Resolve declarations": scans read the unit's const and type sections
    QLabel* LPascalType;
    QLabel* LPasToBtr;
    QLabel* LBtrieveType;
    TListBox* RecordOption;
    QComboBox* BtrType;
    QLabel* LMinLen;
    TVarEdit* ELenFld;
    QLabel* LBaseName;
    TVarEdit* InsertBase;
    QLabel* LRegisterList;
    TListBox* BaseList;
    QPushButton* RegistryBase;
    QPushButton* UnregistryBase;
    QPushButton* UseRegistryPath;

    QStringList TypeMapping; // 29 lines "tick type minLength", one per Pascal type
    // FindRecord's entries in file order.
    std::vector<dict::ScannedRecord> ScannedRecords;

    // ---- Record scanner (RecordScanner.cpp) ----
    void SearchClick();
    void FindRecordKeyUp(int key);
    void FindRecordMouseUp();
    void ShowRecordFields();
    void ChResolveClick();

    // ---- Type mapping (TypeMapping.cpp) ----
    void LoadTypeMapping();
    void SaveTypeMapping();
    void RecordOptionKeyUp(int key);
    void RecordOptionMouseUp();
    void RecordOptionClickCheck(QListWidgetItem* item);
    void ShowTypeMapping();
    void BtrTypeChange();
    void StoreBtrieveType();
    void ELenFldKeyUp(int key);

    // ---- Aliases (Aliases.cpp) ----
    void LoadAliases();
    void RegistryBaseClick();
    void UnregistryBaseClick();
    void UseRegistryPathClick();
    void BaseListKeyUp(int key);
    void BaseListMouseUp();
    void UpdateAliasButtons();

    // ---- For the window ----
    // Start-up: the grid's titles, the type mapping read, the aliases listed.
    void start();
    // Shut-down: the type mapping written, the registry closed.
    void finish();
    // The browsed directory was read again: `dictionary` tells whether it holds FILE.DDF.
    void showDictionaryInDirectory(bool dictionary) { RegistryBase->setEnabled(dictionary); }
    // A file of the browser was selected: it may be scanned.
    void fileSelected() { Search->setEnabled(true); }
    // Absolute path of the "Quillan.rec" read at start-up and written at shut-down.
    QString typeMappingPath() const { return mTypeMappingPath; }

    // ---- WindowPage ----
    void wire() override;
    QWidget* growing() const override { return RecordGrid; }
    std::vector<QWidget*> tall() const override { return {FindRecord}; }

private:
    // "Resolve declarations" as the user's settings keep it.
    static bool resolveSetting();
    // Refills BaseList from the registry; the selected alias's name, empty when none is selected.
    void fillAliasList();
    QString selectedAlias() const;

    QString mTypeMappingPath;
    std::unique_ptr<platform::Registry> mRegistry; // open on the aliases key from LoadAliases to finish()
    bool mAliasProblemShown = false;               // the registry's problem was said; not again
    // The defaults used for a "Quillan.rec" that could not be read; whether BtrType's text was
    // typed since it was last shown or stored.
    std::optional<QStringList> mUnreadTypeMapping;
    bool mBtrTypeEdited = false;
};

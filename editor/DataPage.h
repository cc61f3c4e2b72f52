#pragma once
// The Data page: the records of the table chosen on the Files page, read-only through its
// location, decoded by the table's field rows as they stand (edits not yet built included);
// "First Draft" makes the table's field rows from the data, "Read All" reads to the end.
#include "Pages.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>

#include <optional>
#include <vector>

class DataPageModel;
namespace dict {
struct DataSample;
struct InferredField;
struct ViewField;
} // namespace dict

class DataPage : public WindowPage {
public:
    explicit DataPage(TMain& window);

    QLabel* LDataTable;
    QTableView* DataGrid;
    QPushButton* DataDraft;
    QPushButton* DataReadAll;
    QProgressBar* DataProgress;
    DataPageModel* DataModel;

    // The records of the table chosen on the Files page, decoded by its field rows as they
    // stand (the rows the Table Filter set aside included).
    void ShowDataPage();
    // The fields again, after an edit of the field rows or extended types, while the page shows.
    void RefreshDataFields();
    // The fields inferred from the data file become the table's field rows (after a question
    // when it has rows already, which the draft then replaces; and, when the file holds records
    // of several layouts, after the user says which of them the table describes).
    void DataDraftClick();
    // Reads every record, the progress shown, so that the counts cover the whole file.
    void DataReadAllClick();

    // ---- WindowPage ----
    void wire() override;
    QWidget* growing() const override { return DataGrid; }

private:
    // The table's fields, with the extended types the ExtFields page gives them.
    std::vector<dict::ViewField> tableFields(qint32 tableId, const QString& tableName) const;
    void showStatus();
    std::optional<std::vector<dict::InferredField>> chooseDraft(const dict::DataSample& sample,
                                                                const QString& tableName) const;
};

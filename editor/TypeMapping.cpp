// Utils page of TMain: the type mapping (Pascal Type, Btrieve Type, Min Length) and its memory,
// "Quillan.rec", read from the start-up directory and written back to the same file at exit. The
// lines and their word operations are dict's (TypeMappingLine.h); the handlers move words
// between a line and the controls.
#include "UtilsPage.h"

#include "DDFUnit.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QSignalBlocker>

#include <cerrno>
#include <cstring>

namespace {

std::string latin1Bytes(const QString& text)
{
    return text.toLatin1().toStdString();
}

QString latin1(const std::string& text)
{
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// Word n of a line; a word that is not a number is the runtime's conversion error.
qint32 lineWord(const QString& line, int n)
{
    try {
        return dict::GetWord(latin1Bytes(line), n);
    } catch (const dict::ConversionError& error) {
        throw EditorError(
            QString::fromLatin1(error.message().data(), static_cast<qsizetype>(error.message().size())));
    }
}

QString withWord(const QString& line, int n, qint32 value)
{
    return latin1(dict::PutWord(latin1Bytes(line), n, value));
}

} // namespace

// A missing "Quillan.rec" is the first run: the defaults, without a word. One that is there but
// cannot be read is said once, and the defaults are used; it is then left as it is at exit unless
// the mapping was changed.
void UtilsPage::LoadTypeMapping()
{
    std::vector<std::string> lines = dict::defaultTypeMapping();
    std::string bytes;
    const int error = dict::readWholeFile(QFile::encodeName(mTypeMappingPath).toStdString(), bytes);
    if (error == 0)
        lines = dict::readTypeMapping(bytes);
    TypeMapping.clear();
    for (const std::string& line : lines)
        TypeMapping << latin1(line);
    mUnreadTypeMapping.reset();
    if (error != 0 && error != ENOENT) {
        mUnreadTypeMapping = TypeMapping;
        TMain::showError(
            QStringLiteral("The type mapping \"%1\" cannot be read: %2. The default mapping is used")
                .arg(QDir::toNativeSeparators(mTypeMappingPath),
                     QString::fromLocal8Bit(std::strerror(error))));
    }
    const QSignalBlocker quiet(RecordOption); // the ticks mirror the lines: nothing to store
    for (int k = 0; k < TypeMapping.size() && k < RecordOption->count(); ++k)
        RecordOption->item(k)->setCheckState(TypeMapping[k].startsWith(QLatin1Char('1')) ? Qt::Checked
                                                                                         : Qt::Unchecked);
}

void UtilsPage::SaveTypeMapping()
{
    if (mUnreadTypeMapping && *mUnreadTypeMapping == TypeMapping)
        return; // the file that could not be read stays as it was
    std::vector<std::string> lines;
    for (const QString& line : TypeMapping)
        lines.push_back(latin1Bytes(line));
    QSaveFile file(mTypeMappingPath);
    const bool written = file.open(QIODevice::WriteOnly) &&
                         file.write(QByteArray::fromStdString(dict::writeTypeMapping(lines))) >= 0 &&
                         file.commit();
    if (!written)
        TMain::showError(QStringLiteral("The type mapping cannot be written to \"%1\": %2")
                             .arg(QDir::toNativeSeparators(mTypeMappingPath), file.errorString()));
}

namespace {

// The Pascal type selected in the list, or -1.
int selectedPascalType(const UtilsPage& window)
{
    const QList<QListWidgetItem*> selected = window.RecordOption->selectedItems();
    if (selected.isEmpty())
        return -1;
    const int k = window.RecordOption->row(selected.first());
    return k < window.TypeMapping.size() ? k : -1;
}

} // namespace

void UtilsPage::RecordOptionKeyUp(int)
{
    ShowTypeMapping();
}

// A tick box changed, by the mouse on the box or on the name, or by Space: word 0 of that item's
// own line takes it. The item becomes the selected Pascal type, so that the Btrieve type and
// Min Length shown and chosen next are its own.
void UtilsPage::RecordOptionClickCheck(QListWidgetItem* item)
{
    const int k = RecordOption->row(item);
    if (k < 0 || k >= TypeMapping.size())
        return;
    TypeMapping[k] = withWord(TypeMapping[k], 0, item->checkState() == Qt::Checked ? 1 : 0);
    if (RecordOption->currentItem() != item || !item->isSelected())
        RecordOption->setCurrentItem(item);
    ShowTypeMapping();
}

void UtilsPage::RecordOptionMouseUp()
{
    ShowTypeMapping();
}

void UtilsPage::ShowTypeMapping()
{
    const int k = selectedPascalType(*this);
    if (k < 0)
        return;
    const qint32 position = lineWord(TypeMapping[k], 1);
    BtrType->setCurrentIndex(position >= 0 && position < BtrType->count() ? position : -1);
    mBtrTypeEdited = false;
    ELenFld->setText(QString::number(lineWord(TypeMapping[k], 2)));
    const bool ticked = RecordOption->item(k)->checkState() == Qt::Checked;
    TypeMapping[k] = withWord(TypeMapping[k], 0, ticked ? 1 : 0);
}

void UtilsPage::BtrTypeChange()
{
    StoreBtrieveType();
}

// Runs when a name is chosen from the list, or when typing ends (Enter, or the focus leaving the
// box): what the box shows then is what is stored. A typed name is taken ignoring letter case and
// shown as the list writes it; a text that is no name stores -1 and stays as typed.
void UtilsPage::StoreBtrieveType()
{
    mBtrTypeEdited = false;
    const int k = selectedPascalType(*this);
    if (k < 0)
        return;
    const QString text = BtrType->currentText().trimmed();
    const int position = text.isEmpty() ? -1 : BtrType->findText(text, Qt::MatchFixedString);
    TypeMapping[k] = withWord(TypeMapping[k], 1, position);
    if (position >= 0 && BtrType->currentIndex() != position)
        BtrType->setCurrentIndex(position);
}

void UtilsPage::ELenFldKeyUp(int key)
{
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return;
    const int k = selectedPascalType(*this);
    if (k < 0)
        return;
    TypeMapping[k] = withWord(TypeMapping[k], 2, ELenFld->Value().toInt());
}

// Utils page of TMain: the type mapping (Pascal Type, Btrieve Type, Min Length) and its memory,
// "Quillan.rec", read from the start-up directory and written back to the same file at exit. The
// lines and their word operations are dict's (TypeMappingLine.h); the handlers move words
// between a line and the controls.
#include "DDFUnit.h"

#include <QFile>
#include <QSaveFile>

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
        throw EConvertError(QString::fromLatin1(error.what()));
    }
}

QString withWord(const QString& line, int n, qint32 value)
{
    return latin1(dict::PutWord(latin1Bytes(line), n, value));
}

} // namespace

void TMain::LoadTypeMapping()
{
    QFile file(mTypeMappingPath);
    const std::vector<std::string> lines = file.open(QIODevice::ReadOnly)
                                               ? dict::readTypeMapping(file.readAll().toStdString())
                                               : dict::defaultTypeMapping();
    TypeMapping.clear();
    for (const std::string& line : lines)
        TypeMapping << latin1(line);
    for (int k = 0; k < TypeMapping.size() && k < RecordOption->count(); ++k)
        RecordOption->item(k)->setCheckState(TypeMapping[k].startsWith(QLatin1Char('1')) ? Qt::Checked
                                                                                         : Qt::Unchecked);
}

void TMain::SaveTypeMapping()
{
    QSaveFile file(mTypeMappingPath);
    if (!file.open(QIODevice::WriteOnly))
        return;
    std::vector<std::string> lines;
    for (const QString& line : TypeMapping)
        lines.push_back(latin1Bytes(line));
    file.write(QByteArray::fromStdString(dict::writeTypeMapping(lines)));
    file.commit();
}

namespace {

// The Pascal type selected in the list, or -1.
int selectedPascalType(const TMain& window)
{
    const QList<QListWidgetItem*> selected = window.RecordOption->selectedItems();
    if (selected.isEmpty())
        return -1;
    const int k = window.RecordOption->row(selected.first());
    return k < window.TypeMapping.size() ? k : -1;
}

} // namespace

void TMain::RecordOptionKeyUp(int)
{
    ShowTypeMapping();
}

void TMain::RecordOptionMouseUp()
{
    ShowTypeMapping();
}

void TMain::ShowTypeMapping()
{
    const int k = selectedPascalType(*this);
    if (k < 0)
        return;
    const qint32 position = lineWord(TypeMapping[k], 1);
    BtrType->setCurrentIndex(position >= 0 && position < BtrType->count() ? position : -1);
    ELenFld->setText(QString::number(lineWord(TypeMapping[k], 2)));
    const bool ticked = RecordOption->item(k)->checkState() == Qt::Checked;
    TypeMapping[k] = withWord(TypeMapping[k], 0, ticked ? 1 : 0);
}

void TMain::BtrTypeChange()
{
    StoreBtrieveType();
}

void TMain::StoreBtrieveType()
{
    const int k = selectedPascalType(*this);
    if (k < 0)
        return;
    // The position of the chosen or typed name; a text that is no name gives -1.
    TypeMapping[k] =
        withWord(TypeMapping[k], 1, dict::combinedPositionOfName(latin1Bytes(BtrType->currentText())));
}

void TMain::ELenFldKeyUp(int key)
{
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return;
    const int k = selectedPascalType(*this);
    if (k < 0)
        return;
    TypeMapping[k] = withWord(TypeMapping[k], 2, ELenFld->Value().toInt());
}

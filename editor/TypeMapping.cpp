// Utils page of TMain: the type mapping (Pascal Type, Btrieve Type, Min Length) and its memory,
// "Quillan.rec", read from the start-up directory and written back to the same file at exit.
#include "DDFUnit.h"

#include <QFile>
#include <QSaveFile>

namespace {

constexpr int kTypeMappingLines = 29;
const QString kDefaultMappingLine = QStringLiteral("0 0 0");

// A line with fewer than three words gets "0" for each missing one; a line without words
// becomes the default line.
QString completeMappingLine(const QString& line)
{
    const qsizetype words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts).size();
    if (words == 0)
        return kDefaultMappingLine;
    QString out = line;
    while (out.endsWith(QLatin1Char(' ')))
        out.chop(1);
    for (qsizetype w = words; w < 3; ++w)
        out += QStringLiteral(" 0");
    return out;
}

} // namespace

void TMain::LoadTypeMapping()
{
    TypeMapping.clear();
    QFile file(mTypeMappingPath);
    if (file.open(QIODevice::ReadOnly)) {
        const QString text = QString::fromLatin1(file.readAll());
        QStringList lines = text.split(QLatin1Char('\n'));
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        for (QString& line : lines) {
            if (line.endsWith(QLatin1Char('\r')))
                line.chop(1);
        }
        for (int k = 0; k < kTypeMappingLines && k < lines.size(); ++k)
            TypeMapping << completeMappingLine(lines[k]);
    }
    while (TypeMapping.size() < kTypeMappingLines)
        TypeMapping << kDefaultMappingLine;
    for (int k = 0; k < kTypeMappingLines && k < RecordOption->count(); ++k)
        RecordOption->item(k)->setCheckState(TypeMapping[k].startsWith(QLatin1Char('1')) ? Qt::Checked
                                                                                         : Qt::Unchecked);
}

void TMain::SaveTypeMapping()
{
    QSaveFile file(mTypeMappingPath);
    if (!file.open(QIODevice::WriteOnly))
        return;
    for (const QString& line : TypeMapping)
        file.write(line.toLatin1() + "\r\n");
    file.commit();
}

void TMain::RecordOptionKeyUp(int) {}
void TMain::RecordOptionMouseUp() {}
void TMain::ShowTypeMapping() {}
void TMain::BtrTypeChange() {}
void TMain::StoreBtrieveType() {}
void TMain::ELenFldKeyUp(int) {}

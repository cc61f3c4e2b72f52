#include "Pages.h"

#include "DDFUnit.h"
#include "DictionaryGrid.h"

WindowPage::WindowPage(TMain& window, const char* objectName) : w(window)
{
    setObjectName(QLatin1String(objectName));
}

DictionaryPage::DictionaryPage(TMain& window, const char* objectName, const char* caption,
                               const char* rowThing, std::vector<int> nameColumns, int nameColumn)
    : WindowPage(window, objectName), caption(QLatin1String(caption)), rowThing(QLatin1String(rowThing)),
      nameColumn(nameColumn), nameColumns(std::move(nameColumns))
{
}

QString DictionaryPage::rowName() const
{
    return TMain::quotedName(mPage->grid, nameColumn);
}

DictionaryPage::~DictionaryPage() = default;

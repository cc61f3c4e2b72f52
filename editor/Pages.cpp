#include "Pages.h"

#include "DictionaryGrid.h"

WindowPage::WindowPage(TMain& window, const char* objectName) : w(window)
{
    setObjectName(QLatin1String(objectName));
}

DictionaryPage::DictionaryPage(TMain& window, const char* objectName, const char* caption)
    : WindowPage(window, objectName), caption(QLatin1String(caption))
{
}

DictionaryPage::~DictionaryPage() = default;

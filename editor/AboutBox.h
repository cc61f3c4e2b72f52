#pragma once
// The About box of the main window: F1 shows the program's version and the record manager in use.
#include <QString>

class QWidget;

// Makes F1 anywhere in window open the About box (objectName "AboutBox", window-modal), which
// names version and the record manager that every file goes through.
void installAboutBox(QWidget* window, const QString& version);

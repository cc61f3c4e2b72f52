#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillan"));
    QMainWindow w;
    w.setWindowTitle(QStringLiteral("Quillan"));
    w.show();
    return app.exec();
}

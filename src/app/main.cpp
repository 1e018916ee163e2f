#include <QApplication>
#include <QMainWindow>

using namespace Qt::StringLiterals;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Vontaro"_s);
    QMainWindow window;
    window.setWindowTitle(u"Vontaro"_s);
    window.resize(1260, 820);
    window.setMinimumSize(1050, 690);
    window.show();
    return app.exec();
}

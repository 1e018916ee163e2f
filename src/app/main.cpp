#include <QApplication>
#include <QMainWindow>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Vontaro"_qs);
    QMainWindow window;
    window.setWindowTitle(u"Vontaro"_qs);
    window.resize(1260, 820);
    window.setMinimumSize(1050, 690);
    window.show();
    return app.exec();
}

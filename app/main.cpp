#include <QApplication>
#include <QMainWindow>
#include <clocale>

int main(int argc, char** argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    // Texts the program writes (CSS, XML, settings) never follow the user's locale.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName("Velmora Voravev");
    QMainWindow window;
    window.setWindowTitle("Velmora Voravev");
    window.resize(1024, 700);
    window.show();
    return QApplication::exec();
}

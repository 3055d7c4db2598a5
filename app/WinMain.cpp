#include "app/WinMain.h"

#include "app/TApplication.h"
#include "model/Options.h"
#include "model/TemplateLibrary.h"

#include <QCoreApplication>
#include <clocale>
#include <exception>

void CreateForms()
{
}

void DestroyForms()
{
}

int WinMain(int argc, char** argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    TApplication app(argc, argv);
    // Texts the program writes (CSS, XML, settings) never follow the user's locale.
    std::setlocale(LC_NUMERIC, "C");
    app.Title = "Velmora Voravev";
    QApplication::setApplicationName("Velmora Voravev");
    QApplication::setApplicationDisplayName("Velmora Voravev");
    try {
        CreateForms();
        QApplication::exec();
    } catch (const std::exception& error) {
        app.ShowException(error.what());
    } catch (...) {
        app.ShowException("");
    }
    DestroyForms();
    TemplateLibrary::FreeInstance();
    Options::FreeInstance();
    return 0;
}

#include "app/WinMain.h"

#include "app/TApplication.h"
#include "app/TForm1.h"
#include "app/TForm13.h"
#include "app/TForm16.h"
#include "app/TForm17.h"
#include "app/TForm2.h"
#include "app/TForm4.h"
#include "app/TForm6.h"
#include "model/Options.h"
#include "model/TemplateLibrary.h"
#include "output/TForm10.h"
#include "platform/imapi/DiscMaster.h"
#include "services/EmailerFactory.h"
#include "services/TForm3.h"

#include <QCoreApplication>
#include <clocale>
#include <exception>

void CreateForms()
{
    // The main window's constructor does the start-up work; the others do
    // not exist yet while it runs. It sets Form1 itself, before that work.
    new TForm1();
    Form2 = new TForm2(Form1);
    Form13 = new TForm13(Form1);
    Form4 = new TForm4();
    Form6 = new TForm6();
    Form10 = new TForm10();
    Form3 = new TForm3();
    Form16 = new TForm16();
    Form17 = new TForm17();
}

void DestroyForms()
{
    delete Form17;
    Form17 = nullptr;
    delete Form16;
    Form16 = nullptr;
    delete Form10;
    Form10 = nullptr;
    delete Form6;
    Form6 = nullptr;
    delete Form4;
    Form4 = nullptr;
    delete Form3;
    Form3 = nullptr;
    delete Form13;
    Form13 = nullptr;
    delete Form2;
    Form2 = nullptr;
    delete Form1;
}

int WinMain(int argc, char** argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    TApplication app(argc, argv);
    // Texts the program writes (CSS, XML, settings) never follow the user's locale.
    std::setlocale(LC_NUMERIC, "C");
    app.Title = "Velmora Voravev";
    QApplication::setApplicationName("Velmora Voravev");
    // The disc master the burn job creates is built into the program.
    RegisterDiscMasterClass();
    try {
        CreateForms();
        Form1->show();
        QApplication::exec();
    } catch (const std::exception& error) {
        app.ShowException(error.what());
    } catch (...) {
        app.ShowException("");
    }
    DestroyForms();
    // Saves every account, as the accounts were at the end of the run.
    EmailerFactory::FreeInstance();
    TemplateLibrary::FreeInstance();
    Options::FreeInstance();
    return 0;
}

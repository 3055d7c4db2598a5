#include "app/WinMain.h"

#include "app/SignalNotifier.h"
#include "app/SingleInstance.h"
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
#include "output/PortfolioGenerator.h"
#include "output/TForm10.h"
#include "platform/com/ComRuntime.h"
#include "platform/imapi/DiscMaster.h"
#include "platform/thread/Thread.h"
#include "services/EmailerFactory.h"
#include "services/TForm3.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSessionManager>
#include <atomic>
#include <clocale>
#include <exception>

namespace {

std::atomic<bool> mainLoopRunning{false};
// From the application object to the end of the message loop: the entry owns
// the event loops, start-up boxes included.
std::atomic<bool> entryRunning{false};
std::atomic<int> quitRequests{0};

std::function<void(const std::string&)>& Observer()
{
    static std::function<void(const std::string&)> observer;
    return observer;
}

template <class T>
void DeleteForm(T*& form)
{
    delete form;
    form = nullptr;
}

} // namespace

void CreateForms(const std::vector<std::string>& arguments)
{
    // The main window's constructor does the start-up work; the others do
    // not exist yet while it runs. It sets Form1 itself, before that work.
    new TForm1(arguments);
    Form2 = new TForm2(Form1);
    Form4 = new TForm4();
    Form6 = new TForm6();
    // Without its web engine: that starts at the first preview.
    Form10 = new TForm10();
    Form3 = new TForm3();
    Form13 = new TForm13(Form1);
    Form16 = new TForm16();
    Form17 = new TForm17();
}

void DestroyForms()
{
    // The artwork and crop dialogs are the main window's children and go with it.
    QPointer<TForm2> form2 = Form2;
    QPointer<TForm13> form13 = Form13;
    delete Form1;
    delete form2.data();
    Form2 = nullptr;
    delete form13.data();
    Form13 = nullptr;
    DeleteForm(Form17);
    DeleteForm(Form16);
    DeleteForm(Form3);
    DeleteForm(Form10);
    DeleteForm(Form6);
    DeleteForm(Form4);
}

void SetShutDownObserver(std::function<void(const std::string&)> observer)
{
    Observer() = std::move(observer);
}

void ReportShutDownStep(const std::string& step)
{
    if (Observer())
        Observer()(step);
}

void ShutDown()
{
    // The workers use the process-wide objects below: they end first.
    if (Form1)
        Form1->StopBackgroundJobs();
    DestroyForms();
    ReportShutDownStep("forms destroyed");
    // Saves every account, as the accounts were at the end of the run.
    EmailerFactory::FreeInstance();
    ReportShutDownStep("e-mail accounts freed");
    TemplateLibrary::FreeInstance();
    ReportShutDownStep("templates freed");
    Options::FreeInstance();
    ReportShutDownStep("options freed");
    CoUninitialize();
    ReportShutDownStep("COM uninitialised");
}

bool SaveAtSessionEnd(bool allowsInteraction)
{
    if (!Form1 || !allowsInteraction)
        return true;
    return Form1->SaveIfWanted();
}

void QuitMessageLoop(int exitCode)
{
    ++quitRequests;
    // During start-up this also ends a box that shows (and any later one at
    // once); the entry then skips its message loop.
    if (mainLoopRunning || entryRunning)
        QCoreApplication::exit(exitCode);
}

int QuitRequests()
{
    return quitRequests;
}

int WinMain(int argc, char** argv)
{
    CoInitialize(nullptr);
    // --- Single instance: a second start hands its command line to the
    // running instance and ends here, before any application object exists.
    HANDLE instanceLock = nullptr;
    if (const std::optional<int> exitCode = HandOverToRunningInstance(argc, argv, &instanceLock))
        return *exitCode;
    // --- end single instance
    // Output folders of runs that were killed before they could clean up.
    PortfolioGenerator::RemoveAbandonedWorkingFolders();

    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    TApplication app(argc, argv);
    // A session end, `kill`, a hang-up or Ctrl+C ends the run as Exit does,
    // through the shut-down below: templates and settings written. Running
    // jobs are stopped rather than waited for, and the windows go at once,
    // so the user sees the program end.
    const SignalNotifier endSignals([](int) {
        TThread::TerminateAll();
        QuitMessageLoop(0);
    });
    entryRunning = true;
    QObject::connect(&app, &QGuiApplication::commitDataRequest, [](QSessionManager& manager) {
        if (!SaveAtSessionEnd(manager.allowsInteraction()))
            manager.cancel();
        manager.release();
    });
    // Texts the program writes (CSS, XML, settings) never follow the user's locale.
    std::setlocale(LC_NUMERIC, "C");
    app.Title = "Velmora Voravev";
    QApplication::setApplicationName("Velmora Voravev");
    // The program ends through Exit or the main window's close, never because
    // a window was hidden; the main window asks about unsaved work first.
    QApplication::setQuitOnLastWindowClosed(false);
    // The disc master the burn job creates is built into the program.
    RegisterDiscMasterClass();

    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    try {
        CreateForms(arguments);
        // Asked to end while a start-up box showed: the request stands.
        if (QuitRequests() == 0) {
            Form1->show();
            mainLoopRunning = true;
            QApplication::exec();
        }
        mainLoopRunning = entryRunning = false;
    } catch (const std::exception& error) {
        mainLoopRunning = entryRunning = false;
        app.ShowException(error.what());
    } catch (...) {
        mainLoopRunning = entryRunning = false;
        app.ShowException("");
    }
    if (TThread::AllTerminated())
        for (QWidget* window : QApplication::topLevelWidgets())
            window->hide();
    ShutDown();
    // --- Single instance: the next start may be the instance now.
    if (instanceLock)
        CloseHandle(instanceLock);
    // --- end single instance
    return 0;
}

#include "app/TApplication.h"

#include "output/MessageBox.h"

#include <exception>

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv)
{
}

TApplication::~TApplication() = default;

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        ShowException(error.what());
    } catch (...) {
        // Anything that is not an exception of ours has no message to show.
        ShowException("");
    }
    return false;
}

void TApplication::ShowException(const std::string& message)
{
    MessageBoxA(nullptr, message, Title, MB_OK | MB_ICONERROR);
}

TApplication* Application()
{
    return dynamic_cast<TApplication*>(QCoreApplication::instance());
}

#include "output/Form1Commands.h"

#include <QCoreApplication>

namespace {

TForm1Commands*& Registered()
{
    static TForm1Commands* commands = nullptr;
    return commands;
}

} // namespace

void RegisterForm1Commands(TForm1Commands* commands)
{
    Registered() = commands;
}

TForm1Commands* Form1Commands()
{
    return Registered();
}

void Form1SetCheckForUpdatesEnabled(bool enabled)
{
    if (TForm1Commands* c = Registered())
        c->SetCheckForUpdatesEnabled(enabled);
}

bool Form1IsPortfolioModified()
{
    TForm1Commands* c = Registered();
    return c && c->IsPortfolioModified();
}

bool Form1SavePortfolio()
{
    TForm1Commands* c = Registered();
    return !c || c->SavePortfolio();
}

void Form1RequestQuit(int exitCode)
{
    if (TForm1Commands* c = Registered())
        c->RequestQuit(exitCode);
    else
        QCoreApplication::exit(exitCode);
}

// Renders every registered window state to a PNG file:
//   velmora-render-windows OUT     writes OUT/<state>.png
//   velmora-render-windows --list  prints the state names
// scripts/render-windows.sh runs it offscreen with a private home and registry.
#include "app/TApplication.h"
#include "app/WinMain.h"
#include "app/render/RenderStates.h"
#include "model/Options.h"

#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QWidget>
#include <clocale>
#include <cstdio>
#include <iostream>

bool RegisterRenderState(const std::string& name, RenderState state)
{
    const_cast<std::map<std::string, RenderState>&>(RenderStates()).emplace(name, std::move(state));
    return true;
}

const std::map<std::string, RenderState>& RenderStates()
{
    static std::map<std::string, RenderState> states;
    return states;
}

namespace {

void Settle()
{
    // Layouts, polish and pending paints run from posted events.
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 100)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::string(argv[1]) == "--list") {
        for (const auto& [name, state] : RenderStates())
            std::cout << name << "\n";
        return 0;
    }
    if (argc != 2) {
        std::cerr << "usage: velmora-render-windows OUT | --list\n";
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(out)) {
        std::cerr << "cannot create " << argv[1] << "\n";
        return 1;
    }

    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    TApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName("Velmora Voravev");
    // The welcome window is a state of its own; at start-up it would hold
    // the main window disabled in every other state.
    Options::Instance()->SetShowWelcome(false);
    CreateForms();

    int failures = 0;
    for (const auto& [name, state] : RenderStates()) {
        QWidget* widget = state();
        if (!widget) {
            std::cerr << name << ": no widget\n";
            ++failures;
            continue;
        }
        widget->show();
        Settle();
        const QString file = out + "/" + QString::fromStdString(name) + ".png";
        if (!widget->grab().toImage().save(file)) {
            std::cerr << name << ": cannot write " << file.toStdString() << "\n";
            ++failures;
        }
        widget->hide();
        Settle();
    }
    DestroyForms();
    return failures == 0 ? 0 : 1;
}

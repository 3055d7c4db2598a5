// The program itself, with one step of a user's session played once its
// windows are up:
//   make NAME   adds a template of that name, as the template editor does,
//               then prints "ready" and the run goes on until it is ended;
//   list        prints the names of the user's own templates and "end",
//               then ends the run as Exit does.
#include "app/WinMain.h"
#include "model/TemplateLibrary.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<std::string>& Step()
{
    static std::vector<std::string> step;
    return step;
}

void Play()
{
    // Runs once the message loop does, after the windows are made.
    QTimer::singleShot(0, [] {
        TemplateLibrary* library = TemplateLibrary::Instance();
        if (Step().size() == 2 && Step()[0] == "make") {
            if (library->AddTemplate(Step()[1]))
                std::printf("ready\n");
            else
                std::printf("failed\n");
        } else {
            for (int i = 0; i < library->GetCount(); ++i)
                if (!library->GetTemplate(i)->IsBuiltin())
                    std::printf("%s\n", library->GetTemplate(i)->GetName().c_str());
            std::printf("end\n");
            QuitMessageLoop(0);
        }
        std::fflush(stdout);
    });
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(Play)

int main(int argc, char** argv)
{
    Step().assign(argv + 1, argv + argc);
    char* program[] = {argv[0], nullptr};
    return WinMain(1, program);
}

#pragma once
// The named states in which the window renderer shows the forms. Each file
// of this folder registers the states of its forms:
//
//   static const bool registered = RegisterRenderState("TForm6-editor-open", [] {
//       ... bring the form into the state ...
//       return static_cast<QWidget*>(Form6);
//   });
//
// The renderer creates the program's forms first (as the program does),
// runs each state in name order, shows the widget it returns, writes it to
// "<name>.png" and hides it again. The widget stays owned by the state.
#include <QLabel>
#include <QPushButton>
#include <functional>
#include <map>
#include <memory>
#include <string>

using RenderState = std::function<QWidget*()>;

bool RegisterRenderState(const std::string& name, RenderState state);
const std::map<std::string, RenderState>& RenderStates();

// A job window (a JobWindow: the progress, burn and update windows) shown
// with a status, its bar at position of maximum, and its button enabled
// once the job has finished. Each class keeps its last window here.
template <class Window>
Window* ShowJobWindowState(const char* status, int position, int maximum, bool finished)
{
    static std::unique_ptr<Window> window;
    window = std::make_unique<Window>();
    // Showing the window starts a new run of it (an empty bar, the button off).
    window->show();
    window->SetStatusText(status);
    window->SetBarMaximum(maximum);
    window->SetBarPosition(position);
    window->Button1->setEnabled(finished);
    return window.get();
}

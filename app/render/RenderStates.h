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
#include <functional>
#include <map>
#include <string>

class QWidget;

using RenderState = std::function<QWidget*()>;

bool RegisterRenderState(const std::string& name, RenderState state);
const std::map<std::string, RenderState>& RenderStates();

#pragma once
// The program's entry: the application object, the windows that live for
// the whole run (each reachable through its global, Form1, Form6, ...), the
// message loop and the tear-down of the process-wide objects.
int WinMain(int argc, char** argv);

// Creates the forms that live for the whole run, in their start-up order,
// and sets their globals; the first becomes the main window.
void CreateForms();
// Destroys them in reverse order and clears their globals.
void DestroyForms();

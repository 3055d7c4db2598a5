#pragma once
// The program's entry: the application object, the windows that live for
// the whole run (each reachable through its global, Form1, Form6, ...), the
// message loop and the tear-down of the process-wide objects.
#include <functional>
#include <string>
#include <vector>

int WinMain(int argc, char** argv);

// Creates the forms that live for the whole run, in their start-up order,
// and sets their globals; the first becomes the main window and handles the
// command line (the arguments after the program itself).
void CreateForms(const std::vector<std::string>& arguments = {});
// Destroys them, the main window first (its jobs may still use the others),
// and clears their globals.
void DestroyForms();

// What follows the message loop: the main window's worker threads are
// stopped and joined, the forms destroyed, then the process-wide objects
// freed (saving the e-mail accounts and the user's templates), COM ended.
void ShutDown();
// Test hook: receives the name of each shut-down step once it is done.
void SetShutDownObserver(std::function<void(const std::string&)> observer);
// Called by the steps (also the main window's) to report themselves.
void ReportShutDownStep(const std::string& step);

// What the session manager's request to save the user's work does: where it
// allows interaction, a modified portfolio gets the save question. False
// when the user wanted it saved and the save failed or was cancelled: the
// session end is then to be cancelled.
bool SaveAtSessionEnd(bool allowsInteraction);

// Ends the entry's message loop with the exit code once control returns to
// it; the shut-down follows. Windows made without the entry's loop (tests)
// only count the request: ending an event loop that is not running would
// make every later modal loop return at once.
void QuitMessageLoop(int exitCode);
// Requests made so far.
int QuitRequests();

#pragma once
// What the jobs ask of the main window beyond its enabled state: the main
// window implements this and registers itself once it exists. Main thread
// only; with nothing registered the calls answer as for a window with no
// open changes and a quit request leaves the event loop.
class TForm1Commands {
public:
    virtual ~TForm1Commands() = default;

    // The "Check for Updates..." menu entry.
    virtual void SetCheckForUpdatesEnabled(bool enabled) = 0;
    virtual bool IsPortfolioModified() = 0;
    // Saves the open portfolio, asking for a file name when it has none;
    // false when it was not saved (cancelled or failed).
    virtual bool SavePortfolio() = 0;
    // Ends the program the orderly way (its shut-down saves the settings)
    // with the exit code.
    virtual void RequestQuit(int exitCode) = 0;
};

// Registers the main window's commands (nullptr to forget them).
void RegisterForm1Commands(TForm1Commands* commands);
TForm1Commands* Form1Commands();

// The calls as the jobs make them, with the answers of an absent window.
void Form1SetCheckForUpdatesEnabled(bool enabled);
bool Form1IsPortfolioModified();
bool Form1SavePortfolio();
void Form1RequestQuit(int exitCode);

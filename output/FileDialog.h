#pragma once
// Open and save dialogs as the forms describe them: a title, an initial
// folder, a filter, a default extension and a preset file name. Each run is
// a QFileDialog of its own: the desktop's dialog where the platform has one,
// the widget dialog otherwise (offscreen). Main thread only.
#include <memory>
#include <string>

class QFileDialog;
class QWidget;

class TFileDialog {
public:
    virtual ~TFileDialog() = default;

    // True when the user confirmed a file; FileName then holds its path and
    // FilterIndex (from 1) the filter that was chosen.
    bool Execute(QWidget* owner = nullptr);
    // The dialog Execute runs, set up and unshown (the window renderer
    // shows it as it opens).
    std::unique_ptr<QFileDialog> MakeDialog(QWidget* owner = nullptr);

    std::string Title;
    // The home folder when empty or gone.
    std::string InitialDir;
    // Without a dot ("pfo"); added to a typed name that has no extension.
    std::string DefaultExt;
    std::string Filter;
    int FilterIndex = 1;
    std::string FileName;
    // Save dialogs only: ask before an existing file is chosen.
    bool OverwritePrompt = false;

protected:
    explicit TFileDialog(bool save) : save_(save) {}
    // Last changes to the dialog of one run, before it is shown.
    virtual void PrepareDialog(QFileDialog& /*dialog*/) {}

private:
    bool save_;
};

class TOpenDialog : public TFileDialog {
public:
    TOpenDialog() : TFileDialog(false) {}
};

class TSaveDialog : public TFileDialog {
public:
    TSaveDialog() : TFileDialog(true) {}
};

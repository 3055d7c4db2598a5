#pragma once
// TForm12 (unit OptionsForm): the options dialog, made for one showing and
// deleted afterwards. Apply writes the settings; Cancel leaves them. Template
// export and import and the account changes of the E-Mail page take effect
// at once, whatever closes the window. Main thread only.
#include <QDialog>
#include <memory>
#include <string>

class Options;
class TemplateLibrary;
class TFileDialog;
class TFrame3;
class TOpenDialog;
class TSaveDialog;

namespace Ui {
class TForm12;
}

class TForm12 : public QDialog {
    Q_OBJECT

public:
    explicit TForm12(QWidget* owner = nullptr);
    ~TForm12() override;

    TFrame3* AccountList() const { return frame_; }

public slots:
    void TrackBar1Change();
    void TrackBar2Change();
    void Button2Click();
    void Button3Click();
    void Button4Click();

private:
    // Runs the file dialog, then the library's export or import with the
    // chosen file, and tells the outcome.
    void RunTemplateFile(TFileDialog& dialog, bool (TemplateLibrary::*action)(const std::string&),
                         const char* succeeded, const char* failed, const char* caption);

    std::unique_ptr<Ui::TForm12> ui_;
    std::unique_ptr<TSaveDialog> SaveDialog1;
    std::unique_ptr<TOpenDialog> OpenDialog1;
    Options* options_ = nullptr;
    TFrame3* frame_ = nullptr;
};

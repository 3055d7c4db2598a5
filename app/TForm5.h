#pragma once
// TForm5 (unit DetailsForm): the contact details dialog, modal, made by the
// main window for each use. Edits the artist's details of one portfolio and
// can store them as the defaults every new portfolio starts with. OK and
// "Save as Default" apply; Cancel and the close box apply nothing. Main
// thread only.
#include <QDialog>
#include <memory>
#include <string>

class Portfolio;

namespace Ui {
class TForm5;
}

class TForm5 : public QDialog {
    Q_OBJECT

public:
    explicit TForm5(QWidget* owner = nullptr);
    ~TForm5() override;

    // Shows the portfolio's details modally; mrCancel without a window for null.
    int ShowDetails(Portfolio* portfolio);
    // Fills the fields from the portfolio (not null) without showing them.
    void LoadDetails(Portfolio* portfolio);
    // Writes the fields into the portfolio. False, with the dialog showing
    // why, when a file picked here cannot be read.
    bool ApplyDetails();

public slots:
    void CheckBox1Click();
    void CheckBox3Click();
    void ToolButton1Click();
    void ToolButton2Click();
    void Button1Click();
    void Button3Click();

private:
    std::unique_ptr<Ui::TForm5> ui_;
    Portfolio* portfolio_ = nullptr;
    std::string pictureFile_;
    std::string cvFile_;
    // Only files picked in this dialog are read into the portfolio: a path
    // that came with a received portfolio names a file of someone else's
    // machine, and reading whatever this machine has there would send it out.
    bool picturePicked_ = false;
    bool cvPicked_ = false;
};

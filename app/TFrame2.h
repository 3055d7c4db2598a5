#pragma once
// TFrame2 (unit StatementFrame): the statement page the main window shows
// in Panel2 while the statement is selected. Edits the open portfolio's
// statement title, text and attached statement file; every change is in the
// portfolio at once, and showing the page writes nothing. Main thread only.
#include <QWidget>
#include <memory>

class Portfolio;

namespace Ui {
class TFrame2;
}

class TFrame2 : public QWidget {
    Q_OBJECT

public:
    explicit TFrame2(QWidget* owner = nullptr);
    ~TFrame2() override;

    // Fills the page from the main window's current portfolio.
    void ShowStatement();

public slots:
    void Edit1Change();
    void Memo1Change();
    void CheckBox1Click();
    void ToolButton1Click();

private:
    // The main window's portfolio, fetched anew for every operation.
    Portfolio* CurrentPortfolio();

    std::unique_ptr<Ui::TFrame2> ui_;
    Portfolio* portfolio_ = nullptr;
};

// The statement page, made by the main window on first use.
extern TFrame2* Frame2;

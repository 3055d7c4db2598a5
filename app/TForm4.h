#pragma once
// TForm4 (unit AboutForm): the About box, modal, made at start-up. Shows
// the product's name and version and links to the maker's web page when
// the build knows its address. Main thread only.
#include <QDialog>
#include <memory>
#include <string>

namespace Ui {
class TForm4;
}

class TForm4 : public QDialog {
    Q_OBJECT

public:
    // makerAddress: the page "Quembly Labs" opens; empty shows plain text.
    explicit TForm4(QWidget* owner = nullptr, std::string makerAddress = DefaultMakerAddress());
    ~TForm4() override;

    static std::string DefaultMakerAddress();

public slots:
    void Label10Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<Ui::TForm4> ui_;
    std::string makerAddress_;
};

// The About box for the rest of the run.
extern TForm4* Form4;

#pragma once
// TFrame4 (unit SendEmailFrame): the message page of the e-mail wizard:
// from (read-only), to, subject, the attachment's name and the body. No
// behaviour of its own. Main thread only.
#include <QWidget>
#include <memory>

class QLineEdit;
class QPlainTextEdit;

namespace Ui {
class TFrame4;
}

class TFrame4 : public QWidget {
    Q_OBJECT

public:
    explicit TFrame4(QWidget* owner);
    ~TFrame4() override;

    QLineEdit* Edit1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;

private:
    std::unique_ptr<Ui::TFrame4> ui_;
};

#include "app/TFrame4.h"

#include "ui_TFrame4.h"

#include <QStyle>

TFrame4::TFrame4(QWidget* owner) : QWidget(owner), ui_(std::make_unique<Ui::TFrame4>())
{
    ui_->setupUi(this);
    ui_->Layout1->setColumnStretch(2, 1);
    ui_->Image1->setPixmap(style()->standardIcon(QStyle::SP_FileIcon).pixmap(16, 16));
    Edit1 = ui_->Edit1;
    Edit2 = ui_->Edit2;
    Edit3 = ui_->Edit3;
    Memo1 = ui_->Memo1;
}

TFrame4::~TFrame4() = default;

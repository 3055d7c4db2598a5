#include "output/TForm15.h"

#include "ui_TForm15.h"

TForm15::TForm15(QWidget* owner)
    : JobWindow(owner), ui_(std::make_unique<Ui::TForm15>())
{
    ui_->setupUi(this);
    BindControls(ui_->Label1, ui_->ProgressBar1, ui_->Button1, ui_->Button2);
}

TForm15::~TForm15() = default;

bool TForm15::MayDismiss() const
{
    return Button1->isEnabled();
}

#include "services/TForm7.h"

#include "ui_TForm7.h"

TForm7::TForm7(QWidget* owner) : JobWindow(owner), ui_(std::make_unique<Ui::TForm7>())
{
    ui_->setupUi(this);
    BindControls(ui_->Label1, ui_->ProgressBar1, ui_->Button1);
}

TForm7::~TForm7() = default;

bool TForm7::MayDismiss() const
{
    return Button1->isEnabled();
}

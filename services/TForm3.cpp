#include "services/TForm3.h"

#include "ui_TForm3.h"

TForm3* Form3 = nullptr;

TForm3::TForm3(QWidget* owner) : JobWindow(owner), ui_(std::make_unique<Ui::TForm3>())
{
    ui_->setupUi(this);
    BindControls(ui_->Label1, ui_->ProgressBar1, ui_->Button1);
}

TForm3::~TForm3() = default;

#include "app/TForm4.h"

#include "app/FormBackground.h"
#include "output/MessageBox.h"
#include "platform/resources/Resources.h"
#include "platform/shell/Process.h"
#include "services/ProductAddresses.h"
#include "ui_TForm4.h"

#include <QMouseEvent>
#include <QStyle>

TForm4* Form4 = nullptr;

TForm4::TForm4(QWidget* owner, std::string makerAddress)
    : QDialog(owner), ui_(std::make_unique<Ui::TForm4>()), makerAddress_(std::move(makerAddress))
{
    ui_->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowMinMaxButtonsHint | Qt::WindowStaysOnTopHint);
    setFixedSize(size());
    UseFormBackground(this);
    // The program's disc picture, and a globe-like sign beside the maker's link.
    const auto disc = FindResource("AUTORUN_ICO", "RC_DATA");
    QPixmap picture;
    if (picture.loadFromData(disc.data(), static_cast<uint>(disc.size())))
        ui_->Image1->setPixmap(picture);
    ui_->Image2->setPixmap(style()->standardIcon(QStyle::SP_DriveNetIcon).pixmap(32, 32));

    setWindowTitle(AboutTexts::Caption);
    ui_->Label1->setText(AboutTexts::Name);
    ui_->Label2->setText(AboutTexts::Version);
    ui_->Label3->setText(AboutTexts::Notice);
    ui_->Button1->setText(AboutTexts::Button);
    connect(ui_->Button1, &QPushButton::clicked, this, &QDialog::accept);

    // Without an address the maker's name is only text.
    if (!makerAddress_.empty()) {
        QFont font = ui_->Label10->font();
        font.setUnderline(true);
        ui_->Label10->setFont(font);
        QPalette link = ui_->Label10->palette();
        link.setColor(QPalette::WindowText, link.color(QPalette::Link));
        ui_->Label10->setPalette(link);
        ui_->Label10->setCursor(Qt::PointingHandCursor);
        ui_->Label10->setToolTip(QString::fromStdString(makerAddress_));
        ui_->Label10->installEventFilter(this);
    }
}

TForm4::~TForm4()
{
    if (Form4 == this)
        Form4 = nullptr;
}

std::string TForm4::DefaultMakerAddress()
{
    return ProductAddresses::MakerSite;
}

bool TForm4::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui_->Label10 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        Label10Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TForm4::Label10Click()
{
    if (makerAddress_.empty())
        return;
    const StartResult opened = OpenWebAddress(makerAddress_);
    if (!opened)
        MessageBoxA(this, "The web page " + makerAddress_ + " could not be opened. " + opened.Message("xdg-open"),
                    "Oooops!", MB_OK | MB_ICONERROR);
}

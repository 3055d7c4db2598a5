#include "app/TForm11.h"

#include "app/FormBackground.h"
#include "app/TForm1.h"
#include "model/Options.h"
#include "output/Form1.h"
#include "output/MessageBox.h"
#include "platform/shell/Process.h"
#include "services/ProductAddresses.h"
#include "ui_TForm11.h"

#include <QGuiApplication>
#include <QHideEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>

namespace {

// The same rule as the main window's recent-files menu.
std::string RecentCaption(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string RecentFile(Options* options, int index)
{
    switch (index) {
    case 0: return options->GetRecentFile0();
    case 1: return options->GetRecentFile1();
    case 2: return options->GetRecentFile2();
    default: return options->GetRecentFile3();
    }
}

} // namespace

TForm11::TForm11(QWidget* owner, std::string tutorialAddress)
    : QDialog(owner), ui_(std::make_unique<Ui::TForm11>()), tutorialAddress_(std::move(tutorialAddress))
{
    ui_->setupUi(this);
    // A dialog frame with minimise and maximise boxes but no close box,
    // above every other window.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowStaysOnTopHint);
    setFixedSize(size());
    UseFormBackground(this);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    ui_->Image1->setPixmap(style()->standardIcon(QStyle::SP_FileIcon).pixmap(32, 32));
    ui_->Image2->setPixmap(style()->standardIcon(QStyle::SP_DirOpenIcon).pixmap(32, 32));
    ui_->Image3->setPixmap(style()->standardIcon(QStyle::SP_DialogHelpButton).pixmap(32, 32));

    QLabel* const clickable[] = {ui_->Image1, ui_->Label2, ui_->Label4, ui_->Label5,
                                 ui_->Label6, ui_->Label7, ui_->Label8};
    for (QLabel* label : clickable)
        label->installEventFilter(this);
    // Without an address the tutorial is only text.
    if (tutorialAddress_.empty()) {
        ui_->Label4->setEnabled(false);
        ui_->Label4->unsetCursor();
        ui_->Label4->setToolTip({});
    }

    options_ = Options::Instance();
    ui_->CheckBox1->setChecked(options_->GetShowWelcome());
    FillRecentFiles();

    connect(ui_->Button1, &QPushButton::clicked, this, &TForm11::Button1Click);
    connect(ui_->CheckBox1, &QCheckBox::clicked, this, &TForm11::CheckBox1Click);
}

TForm11::~TForm11()
{
    // A window destroyed while shown gets no hide event of its own.
    EnableForm1By(this);
}

std::string TForm11::DefaultTutorialAddress()
{
    return ProductAddresses::TutorialPage;
}

QLabel* TForm11::RecentLabel(int index) const
{
    QLabel* const labels[] = {ui_->Label5, ui_->Label6, ui_->Label7, ui_->Label8};
    return labels[index];
}

void TForm11::FillRecentFiles()
{
    for (int i = 0; i < 4; ++i) {
        const std::string path = RecentFile(options_, i);
        const std::string caption = RecentCaption(path);
        QLabel* label = RecentLabel(i);
        label->setText(QString::fromStdString(caption));
        label->setToolTip(QString::fromStdString(path));
        label->setVisible(!caption.empty());
    }
}

bool TForm11::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::MouseButtonRelease || static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
        return QDialog::eventFilter(watched, event);
    if (watched == ui_->Image1)
        Image1Click();
    else if (watched == ui_->Label2)
        Label2Click();
    else if (watched == ui_->Label4)
        Label4Click();
    else if (watched == ui_->Label5)
        Label5Click();
    else if (watched == ui_->Label6)
        Label6Click();
    else if (watched == ui_->Label7)
        Label7Click();
    else if (watched == ui_->Label8)
        Label8Click();
    else
        return QDialog::eventFilter(watched, event);
    return true;
}

void TForm11::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Spontaneous events come from the window system (restore after
    // minimising), not from the program showing the window.
    if (!event->spontaneous())
        FormShow();
}

void TForm11::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    if (!event->spontaneous())
        FormHide();
}

void TForm11::FormShow()
{
    DisableForm1By(this);
}

void TForm11::FormHide()
{
    EnableForm1By(this);
}

void TForm11::Button1Click()
{
    close();
}

void TForm11::CheckBox1Click()
{
    options_->SetShowWelcome(ui_->CheckBox1->isChecked());
}

// The window goes before the main window acts: its save question and
// messages must not open under a window that stays on top while the main
// window is still held disabled.
void TForm11::Image1Click()
{
    close();
    if (Form1)
        Form1->NewPortfolio();
}

void TForm11::Label2Click()
{
    Image1Click();
}

void TForm11::OpenRecentFile(int index)
{
    const std::string path = RecentFile(options_, index);
    if (path.empty())
        return;
    close();
    if (Form1)
        Form1->OpenPortfolio(path);
}

void TForm11::Label5Click() { OpenRecentFile(0); }
void TForm11::Label6Click() { OpenRecentFile(1); }
void TForm11::Label7Click() { OpenRecentFile(2); }
void TForm11::Label8Click() { OpenRecentFile(3); }

void TForm11::Label4Click()
{
    if (tutorialAddress_.empty())
        return;
    const StartResult opened = OpenWebAddress(tutorialAddress_);
    if (!opened)
        MessageBoxA(this, "The web page " + tutorialAddress_ + " could not be opened. " + opened.Message("xdg-open"),
                    "Oooops!", MB_OK | MB_ICONERROR);
}

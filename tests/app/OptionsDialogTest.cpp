#include "app/TForm1.h"
#include "app/TForm12.h"
#include "app/TForm4.h"
#include "model/Options.h"
#include "output/ModalResult.h"
#include "services/Updater.h"
#include "tests/app/AccountTestSupport.h"
#include "tests/app/WindowTestSupport.h"
#include "tests/support/ModalDriver.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>

#include <filesystem>
#include <fstream>

namespace {

class OptionsDialogTest : public AccountWindowTest {
protected:
    void SetUp() override
    {
        AccountWindowTest::SetUp();
        TemplateLibrary::FreeInstance();
        std::filesystem::remove_all(UserTemplateFolder());
    }
    void TearDown() override
    {
        dialog_.reset();
        TemplateLibrary::FreeInstance();
        std::filesystem::remove_all(UserTemplateFolder());
        AccountWindowTest::TearDown();
    }

    TForm12* ShowOptions()
    {
        dialog_ = std::make_unique<TForm12>();
        dialog_->show();
        QApplication::processEvents();
        return dialog_.get();
    }

    template <class T>
    T* Find(const char* name)
    {
        T* widget = dialog_->findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    // On the button's left end: a check box reacts only on its box and text.
    void Click(const char* name)
    {
        QAbstractButton* button = Find<QAbstractButton>(name);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
    }

    // Presses Export or Import with the driver answering the dialogs.
    void RunTemplateButton(const char* button, ModalDriver& driver)
    {
        Find<QTabWidget>("PageControl1")->setCurrentIndex(2);
        Click(button);
        ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();
    }

    // Every control away from what the settings hold.
    void ChangeEverything()
    {
        auto* pages = Find<QTabWidget>("PageControl1");
        pages->setCurrentIndex(0);
        Click("CheckBox1");
        Click("CheckBox2");
        pages->setCurrentIndex(1);
        Click("CheckBox4");
        Click("CheckBox5");
        Find<QSlider>("TrackBar1")->setValue(7);
        Find<QSlider>("TrackBar2")->setValue(35);
    }

    std::unique_ptr<TForm12> dialog_;
};

TEST_F(OptionsDialogTest, OpensOnTheGeneralPageShowingTheSettings)
{
    Options* options = Options::Instance();
    options->SetShowWelcome(false);
    options->SetIncludeDate(true);
    options->SetPictureSize(2);
    options->SetPdfCompression(60);
    ShowOptions();
    EXPECT_EQ(dialog_->windowTitle(), "Options");
    EXPECT_EQ(Find<QTabWidget>("PageControl1")->currentIndex(), 0);
    EXPECT_FALSE(Find<QCheckBox>("CheckBox1")->isChecked());
    EXPECT_TRUE(Find<QCheckBox>("CheckBox4")->isChecked());
    EXPECT_TRUE(Find<QCheckBox>("CheckBox5")->isChecked());
    EXPECT_EQ(Find<QSlider>("TrackBar1")->value(), 2);
    EXPECT_EQ(Find<QLabel>("Label6")->text(), "Resize the image to 640 Pixels");
    EXPECT_EQ(Find<QLabel>("Label11")->text(), "Set compression to 40%");
    // No photo organiser here: its box can be neither used nor ticked.
    ASSERT_FALSE(options->IsPicasaInstalled());
    EXPECT_FALSE(Find<QCheckBox>("CheckBox3")->isEnabled());
    EXPECT_FALSE(Find<QCheckBox>("CheckBox3")->isChecked());
    // The account list on the E-Mail page, in manage mode.
    EXPECT_EQ(dialog_->AccountList()->Label1->text(), "Right click on an account for more options.");
    EXPECT_EQ(dialog_->AccountList()->ButtonGroup1->Count(), EmailerFactory::Instance()->Count() + 1);
    // The list sits on white, its caption line included.
    Find<QTabWidget>("PageControl1")->setCurrentIndex(3);
    QApplication::processEvents();
    const QImage list = dialog_->AccountList()->grab().toImage();
    EXPECT_EQ(list.pixelColor(list.width() - 2, 2), QColor(Qt::white));
    EXPECT_EQ(list.pixelColor(list.width() - 2, list.height() - 2), QColor(Qt::white));
}

TEST_F(OptionsDialogTest, SliderCaptions)
{
    ShowOptions();
    const char* sizes[] = {
        "Resize the image to 320 Pixels",  "Resize the image to 480 Pixels",  "Resize the image to 640 Pixels",
        "Resize the image to 800 Pixels",  "Resize the image to 1024 Pixels", "Resize the image to 1200 Pixels",
        "Resize the image to 1600 Pixels", "Don't resize. Preserve the original size.",
    };
    auto* size = Find<QSlider>("TrackBar1");
    size->setFocus();
    QTest::keyClick(size, Qt::Key_Home);
    for (int position = 0; position < 8; ++position) {
        SCOPED_TRACE(position);
        EXPECT_EQ(size->value(), position);
        EXPECT_EQ(Find<QLabel>("Label6")->text(), sizes[position]);
        QTest::keyClick(size, Qt::Key_Right);
    }
    EXPECT_EQ(size->value(), 7);

    struct Row {
        int position;
        const char* caption;
    } rows[] = {{0, "Set compression to 100%"}, {80, "Set compression to 20%"}, {100, "Set compression to 0%"}};
    for (const Row& row : rows) {
        Find<QSlider>("TrackBar2")->setValue(row.position);
        EXPECT_EQ(Find<QLabel>("Label11")->text(), row.caption);
    }
}

TEST_F(OptionsDialogTest, TemplatesPageHeadingsAreSpelledRight)
{
    ShowOptions();
    EXPECT_EQ(Find<QLabel>("Label5")->text(), "Export your templates:");
    EXPECT_EQ(Find<QLabel>("Label8")->text(), "Import new templates:");
}

TEST_F(OptionsDialogTest, TheUpdateCheckBoxFollowsWhetherThisBuildCanCheck)
{
    Options* options = Options::Instance();
    for (bool stored : {true, false}) {
        SCOPED_TRACE(stored);
        options->SetCheckForUpdates(stored);

        // No update host: unusable and unticked, as the menu entry is
        // disabled, and Apply leaves the stored choice alone.
        ASSERT_EQ(Updater::DescriptionAddress(), "");
        ShowOptions();
        EXPECT_FALSE(Find<QCheckBox>("CheckBox2")->isEnabled());
        EXPECT_FALSE(Find<QCheckBox>("CheckBox2")->isChecked());
        Click("CheckBox2");
        EXPECT_FALSE(Find<QCheckBox>("CheckBox2")->isChecked());
        Click("Button2");
        EXPECT_EQ(options->GetCheckForUpdates(), stored);

        // With one, the box shows and stores the choice.
        Updater::SetTestOverrides("https://127.0.0.1:1/update2.xml", "", 0);
        ShowOptions();
        EXPECT_TRUE(Find<QCheckBox>("CheckBox2")->isEnabled());
        EXPECT_EQ(Find<QCheckBox>("CheckBox2")->isChecked(), stored);
        Click("CheckBox2");
        Click("Button2");
        Updater::SetTestOverrides("", "", 0);
        EXPECT_EQ(options->GetCheckForUpdates(), !stored);
        options->SetCheckForUpdates(stored);
    }
}

TEST_F(OptionsDialogTest, AMailProgramSetUpWhileRunningIsListedWhenTheListIsShownAgain)
{
    // The desktop's own answer, from a private configuration: no mailto
    // handler yet, and the list made before one is set up.
    TRegistry().DeleteKey("\\Software\\Clients");
    const std::string config = std::getenv("XDG_CONFIG_HOME");
    const std::string data = std::getenv("XDG_DATA_HOME");
    std::filesystem::create_directories(data + "/applications");
    std::filesystem::remove(config + "/mimeapps.list");
    const auto captions = [this] {
        std::vector<std::string> shown;
        TButtonGroup* list = dialog_->AccountList()->ButtonGroup1;
        for (int i = 0; i < list->Count(); ++i)
            shown.push_back(list->At(i)->Caption.toStdString());
        return shown;
    };
    const auto setHandler = [&](const char* desktopFile, const char* name) {
        {
            std::ofstream entry(data + "/applications/" + desktopFile);
            entry << "[Desktop Entry]\nType=Application\nName=" << name << "\nExec=/bin/true %u\n";
        }
        std::ofstream list(config + "/mimeapps.list");
        list << "[Default Applications]\nx-scheme-handler/mailto=" << desktopFile << "\n";
    };
    Add("someone@example.org");
    ASSERT_EQ(Factory()->Count(), 1);
    ShowOptions();
    EXPECT_EQ(captions(), (std::vector<std::string>{"someone@example.org", "Add a New Account..."}));
    dialog_.reset();

    setHandler("quill-mail.desktop", "Quill Mail");
    ShowOptions();
    EXPECT_EQ(captions(), (std::vector<std::string>{"someone@example.org", "Quill Mail", "Add a New Account..."}));
    dialog_.reset();

    // Another program chosen later takes its place.
    setHandler("heron.desktop", "Heron Post");
    ShowOptions();
    EXPECT_EQ(captions(), (std::vector<std::string>{"someone@example.org", "Heron Post", "Add a New Account..."}));
    std::filesystem::remove(config + "/mimeapps.list");
    std::filesystem::remove_all(data + "/applications");
}

TEST_F(OptionsDialogTest, ApplyWritesEverySettingAndCancelNone)
{
    ShowOptions();
    const std::string before = ReadFileBytes(HivePath());
    ChangeEverything();
    Click("Button1");
    EXPECT_FALSE(dialog_->isVisible());
    EXPECT_EQ(dialog_->result(), QDialog::Rejected);
    EXPECT_EQ(ReadFileBytes(HivePath()), before);

    ShowOptions();
    ChangeEverything();
    Click("Button2");
    EXPECT_EQ(dialog_->result(), mrOk);
    Options::FreeInstance();
    Options* options = Options::Instance();
    EXPECT_FALSE(options->GetShowWelcome());
    EXPECT_TRUE(options->GetIncludeDate());
    EXPECT_FALSE(options->GetIncludeCopyright());
    EXPECT_EQ(options->GetPictureSize(), 7);
    EXPECT_EQ(options->GetPdfCompression(), 35);
}

TEST_F(OptionsDialogTest, ExportedTemplatesComeBackIntoAFreshLibrary)
{
    TemplateLibrary* library = TemplateLibrary::Instance();
    const int shipped = library->GetCount();
    ASSERT_NE(library->CopyTemplate("Mine One", library->GetTemplate(0)), nullptr);
    ASSERT_NE(library->CopyTemplate("Mine Two", library->GetTemplate(1)), nullptr);
    const std::string oneXml = TemplateXml(library->FindTemplate("Mine One"));
    TempDir out;
    const std::string file = out / "shared.vtp";

    ShowOptions();
    ModalDriver exported;
    exported.ChooseFile(QString::fromStdString(file)).Press(QMessageBox::Ok);
    RunTemplateButton("Button3", exported);
    ASSERT_EQ(exported.Seen().size(), 2u);
    EXPECT_EQ(exported.Seen()[0].title, "Export Templates");
    EXPECT_EQ(exported.Seen()[1].title, "Export Your Templates");
    EXPECT_EQ(exported.Seen()[1].text, "Successfully exported the templates.");
    EXPECT_EQ(exported.Seen()[1].icon, QMessageBox::Information);
    dialog_.reset();

    // A new user: the shipped templates only.
    TemplateLibrary::FreeInstance();
    std::filesystem::remove_all(UserTemplateFolder());
    ASSERT_EQ(TemplateLibrary::Instance()->GetCount(), shipped);

    ShowOptions();
    ModalDriver imported;
    imported.ChooseFile(QString::fromStdString(file)).Press(QMessageBox::Ok);
    RunTemplateButton("Button4", imported);
    ASSERT_EQ(imported.Seen().size(), 2u);
    EXPECT_EQ(imported.Seen()[0].title, "Import Templates");
    EXPECT_EQ(imported.Seen()[1].title, "Import New Templates");
    EXPECT_EQ(imported.Seen()[1].text, "Successfully imported the templates.");
    library = TemplateLibrary::Instance();
    ASSERT_EQ(library->GetCount(), shipped + 2);
    ASSERT_NE(library->FindTemplate("Mine One"), nullptr);
    EXPECT_FALSE(library->FindTemplate("Mine One")->IsBuiltin());
    EXPECT_EQ(TemplateXml(library->FindTemplate("Mine One")), oneXml);
    EXPECT_NE(library->FindTemplate("Mine Two"), nullptr);

    // Importing again finds every name taken: it succeeds and adds nothing.
    ModalDriver again;
    again.ChooseFile(QString::fromStdString(file)).Press(QMessageBox::Ok);
    RunTemplateButton("Button4", again);
    EXPECT_EQ(again.Seen().back().text, "Successfully imported the templates.");
    EXPECT_EQ(library->GetCount(), shipped + 2);
}

TEST_F(OptionsDialogTest, FailingExportOrImportTellsTheLibrarysReason)
{
    TempDir out;
    const std::string unwritable = out / "no such folder/out.vtp";
    const std::string garbage = out.Write("garbage.vtp", "this is not a template file");
    struct Row {
        const char* button;
        std::string path, sentence, title;
    } rows[] = {
        {"Button3", unwritable, "Failed to export the templates. ", "Export Your Templates"},
        {"Button4", garbage, "Failed to import the templates. ", "Import New Templates"},
    };
    ShowOptions();
    const int before = TemplateLibrary::Instance()->GetCount();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.button);
        TemplateLibrary::Instance()->SetText("");
        ModalDriver driver;
        driver.ChooseFile(QString::fromStdString(row.path)).Press(QMessageBox::Ok);
        RunTemplateButton(row.button, driver);
        ASSERT_EQ(driver.Seen().size(), 2u);
        const std::string reason = TemplateLibrary::Instance()->GetText();
        EXPECT_NE(reason.find(row.path), std::string::npos) << reason;
        EXPECT_EQ(driver.Seen()[1].text, row.sentence + reason);
        EXPECT_EQ(driver.Seen()[1].title, row.title);
        EXPECT_EQ(driver.Seen()[1].icon, QMessageBox::Warning);
    }
    EXPECT_EQ(TemplateLibrary::Instance()->GetCount(), before);
}

TEST_F(OptionsDialogTest, AccountChangesOnTheEmailPageStayAfterCancel)
{
    Add("keep@example.org");
    Add("gone@example.org");
    ShowOptions();
    Find<QTabWidget>("PageControl1")->setCurrentIndex(3);
    frame_.reset();
    TFrame3* list = dialog_->AccountList();
    const QRect entry = list->ButtonGroup1->ItemRect(0);
    ASSERT_EQ(list->ButtonGroup1->At(0)->Caption, "gone@example.org");
    QWidget* target = list->ButtonGroup1->viewport()->childAt(entry.center());
    ASSERT_NE(target, nullptr);
    QContextMenuEvent event(QContextMenuEvent::Mouse, target->mapFrom(list->ButtonGroup1->viewport(), entry.center()),
                            target->mapToGlobal(QPoint(1, 1)));
    QApplication::sendEvent(target, &event);
    ASSERT_TRUE(list->PopupMenu1->isVisible());
    ModalDriver driver;
    driver.Press(QMessageBox::Yes);
    QAction* remove = list->PopupMenu1->findChild<QAction*>("DeleteAccount1");
    QTest::mouseClick(list->PopupMenu1, Qt::LeftButton, {}, list->PopupMenu1->actionGeometry(remove).center());
    ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();

    Click("Button1");
    EXPECT_EQ(dialog_->result(), QDialog::Rejected);
    EXPECT_FALSE(SectionExists("gone@example.org"));
    EmailerFactory::FreeInstance();
    EXPECT_EQ(Factory()->FindAccount("gone@example.org"), nullptr);
    EXPECT_NE(Factory()->FindAccount("keep@example.org"), nullptr);
}

TEST_F(OptionsDialogTest, MainWindowOpensTheOptionsDialogAndTheAboutBox)
{
    Options::Instance()->SetShowWelcome(false);
    auto form1 = std::make_unique<TForm1>();
    auto form4 = std::make_unique<TForm4>();
    Form4 = form4.get();
    ModalDriver driver;
    driver.Then([](QWidget* modal) {
        EXPECT_STREQ(modal->metaObject()->className(), "TForm12");
        EXPECT_EQ(modal->windowTitle(), "Options");
        static_cast<QDialog*>(modal)->reject();
    });
    driver.Then([](QWidget* modal) {
        EXPECT_EQ(modal, Form4);
        QTest::mouseClick(modal->findChild<QPushButton*>("Button1"), Qt::LeftButton);
    });
    form1->findChild<QAction*>("Options1")->trigger();
    form1->findChild<QAction*>("About2")->trigger();
    ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();
    // The options dialog was made for that one showing.
    EXPECT_EQ(form1->findChild<TForm12*>(), nullptr);
    Form4 = nullptr;
    form4.reset();
    form1.reset();
}

} // namespace

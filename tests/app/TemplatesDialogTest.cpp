#include "app/TFrame5.h"
#include "tests/app/WindowTestSupport.h"
#include "tests/support/ModalDriver.h"

#include <QAction>
#include <QInputDialog>
#include <QPushButton>

namespace {

class TemplatesDialogTest : public WindowTest {
protected:
    void ShowDialog()
    {
        MakeForms();
        form6_->show();
        combo_ = Find6<QComboBox>("ComboBox1");
        edit_ = Find6<QPushButton>("Button1");
        delete_ = Find6<QPushButton>("Button3");
        copy_ = Find6<QPushButton>("Button4");
    }

    // Chooses "Create New Template..." and lets the driver answer the prompts.
    void ChooseCreate(ModalDriver& driver)
    {
        ChooseEntry(combo_, combo_->count() - 1);
        ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();
    }

    // Presses Delete and answers the question.
    void DeleteSelected(QMessageBox::StandardButton answer, std::vector<SeenModal>* seen = nullptr)
    {
        ModalDriver driver;
        driver.Press(answer);
        QTest::mouseClick(delete_, Qt::LeftButton);
        ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();
        if (seen)
            *seen = driver.Seen();
    }

    // The library entry the list shows as selected.
    std::string SelectedName() const { return combo_->currentText().toStdString(); }

    // The portfolio uses a template that is in the library, and the list shows it.
    void ExpectPortfolioTemplateIsLiveAndShown()
    {
        Template* used = CurrentPortfolio()->GetTemplate();
        ASSERT_NE(used, nullptr);
        bool live = false;
        for (int i = 0; i < Library()->GetCount(); ++i)
            live = live || Library()->GetTemplate(i) == used;
        EXPECT_TRUE(live);
        EXPECT_EQ(SelectedName(), used->GetName());
    }

    QComboBox* combo_ = nullptr;
    QPushButton* edit_ = nullptr;
    QPushButton* delete_ = nullptr;
    QPushButton* copy_ = nullptr;
};

TEST_F(TemplatesDialogTest, ListsEveryTemplateThenTheCreateEntryAndShowsThePortfolios)
{
    ShowDialog();
    ASSERT_EQ(combo_->count(), Library()->GetCount() + 1);
    for (int i = 0; i < Library()->GetCount(); ++i)
        EXPECT_EQ(combo_->itemText(i).toStdString(), Library()->GetTemplate(i)->GetName());
    EXPECT_EQ(combo_->itemText(combo_->count() - 1), "Create New Template...");
    ExpectPortfolioTemplateIsLiveAndShown();
    EXPECT_EQ(form6_->windowTitle(), "Select a Template to use...");
}

struct NameCase {
    const char* label;
    std::vector<QString> typed;  // what the user types at each prompt
    const char* created;
};

class TemplateNames : public TemplatesDialogTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(TemplateNames, CreateCleansTheNameAndAsksAgainForUnusableOnes)
{
    const NameCase& c = GetParam();
    ShowDialog();
    // A user template to collide with, in the case the user typed.
    ASSERT_NE(Library()->CopyTemplate("Mine", Library()->GetTemplate(0)), nullptr);
    form6_->FormShow();
    const int before = Library()->GetCount();

    ModalDriver driver;
    for (const QString& text : c.typed)
        driver.Input(text);
    ChooseCreate(driver);

    ASSERT_EQ(driver.Seen().size(), c.typed.size());
    for (const SeenModal& seen : driver.Seen()) {
        EXPECT_EQ(seen.title, "Create New Template...");
        EXPECT_EQ(seen.text, "Please enter the new template's name...");
        EXPECT_EQ(seen.value, "");
    }
    ASSERT_EQ(Library()->GetCount(), before + 1);
    Template* created = Library()->GetTemplate(Library()->GetCount() - 1);
    EXPECT_EQ(created->GetName(), c.created);
    EXPECT_FALSE(created->IsBuiltin());
    // The new template is selected and used at once.
    EXPECT_EQ(CurrentPortfolio()->GetTemplate(), created);
    EXPECT_EQ(combo_->currentIndex(), combo_->count() - 2);
    EXPECT_TRUE(edit_->isEnabled());
    EXPECT_TRUE(delete_->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Table, TemplateNames,
    ::testing::Values(NameCase{"Punctuation", {"My.Template_1"}, "MyTemplate1"},
                      NameCase{"OnlyRemovedCharacters", {"...", "---", "Fine"}, "Fine"},
                      NameCase{"PoundSignIsOneCharacter", {"\u00A35 off!"}, "5 off"},
                      NameCase{"SpacesOnly", {"  ", "Spaced Out"}, "Spaced Out"},
                      NameCase{"TakenInTheSameCase", {"Mine", "My Own"}, "My Own"},
                      NameCase{"OtherCaseIsNew", {"mine"}, "mine"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(TemplatesDialogTest, WithAnEmptyLibraryCreateSaysItFailed)
{
    UseOnlyUserTemplates({});
    ShowDialog();
    ModalDriver driver;
    driver.Input("Fresh").Press(QMessageBox::Ok);
    ChooseCreate(driver);
    ASSERT_EQ(driver.Seen().size(), 2u);
    EXPECT_EQ(driver.Seen()[1].title, "Create New Template...");
    EXPECT_EQ(driver.Seen()[1].text, "Failed to create the new template.");
    EXPECT_EQ(driver.Seen()[1].icon, QMessageBox::Warning);
    EXPECT_EQ(Library()->GetCount(), 0);
    EXPECT_EQ(CurrentPortfolio()->GetTemplate(), nullptr);
}

TEST_F(TemplatesDialogTest, ChoosingWithTheKeyboardSetsThePortfoliosTemplate)
{
    ShowDialog();
    ChooseEntry(combo_, 0);
    combo_->setFocus();
    QTest::keyClick(combo_, Qt::Key_Down);
    EXPECT_EQ(combo_->currentIndex(), 1);
    EXPECT_EQ(CurrentPortfolio()->GetTemplate(), Library()->GetTemplate(1));
}

TEST_F(TemplatesDialogTest, CancellingOrEmptyingTheCreatePromptCreatesNothing)
{
    ShowDialog();
    Template* used = CurrentPortfolio()->GetTemplate();
    const int before = Library()->GetCount();
    for (int attempt = 0; attempt < 2; ++attempt) {
        SCOPED_TRACE(attempt);
        ModalDriver driver;
        if (attempt == 0)
            driver.CancelInput();
        else
            driver.Input("");
        ChooseCreate(driver);
        EXPECT_EQ(Library()->GetCount(), before);
        EXPECT_EQ(CurrentPortfolio()->GetTemplate(), used);
        EXPECT_EQ(SelectedName(), used->GetName());
    }
}

TEST_F(TemplatesDialogTest, CopySuggestsTheFirstFreeNameAndCopiesTheSelectedTemplate)
{
    ShowDialog();
    Template* source = Library()->GetTemplate(0);
    const std::string n = source->GetName();
    struct Case {
        int taken;  // "Copy of N", then "Copy 1 of N", ... already present
        std::string suggestion;
    } cases[] = {{0, "Copy of " + n}, {1, "Copy 1 of " + n}, {2, "Copy 2 of " + n}, {100, "Copy 100 of " + n}};
    int present = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.taken);
        for (; present < c.taken; ++present) {
            const std::string name = present == 0 ? "Copy of " + n : "Copy " + std::to_string(present) + " of " + n;
            ASSERT_NE(Library()->CopyTemplate(name, source), nullptr);
        }
        form6_->FormShow();
        ChooseEntry(combo_, QString::fromStdString(n));

        ModalDriver driver;
        driver.Then([](QWidget* modal) { static_cast<QInputDialog*>(modal)->accept(); });
        QTest::mouseClick(copy_, Qt::LeftButton);
        ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();
        ASSERT_EQ(driver.Seen().size(), 1u);
        EXPECT_EQ(driver.Seen()[0].title, "Copy Template...");
        EXPECT_EQ(driver.Seen()[0].value, c.suggestion);

        Template* copy = Library()->FindTemplate(c.suggestion);
        ASSERT_NE(copy, nullptr);
        EXPECT_FALSE(copy->IsBuiltin());
        EXPECT_EQ(TemplateXml(copy).substr(TemplateXml(copy).find("<Layout>")),
                  TemplateXml(source).substr(TemplateXml(source).find("<Layout>")));
        EXPECT_EQ(CurrentPortfolio()->GetTemplate(), copy);
        EXPECT_EQ(SelectedName(), c.suggestion);
        ++present;
    }
}

TEST_F(TemplatesDialogTest, WithAllCopyNamesTakenTheSuggestionAsksAgainAndCancelCreatesNothing)
{
    ShowDialog();
    Template* source = Library()->GetTemplate(0);
    const std::string n = source->GetName();
    ASSERT_NE(Library()->CopyTemplate("Copy of " + n, source), nullptr);
    for (int i = 1; i < 128; ++i)
        ASSERT_NE(Library()->CopyTemplate("Copy " + std::to_string(i) + " of " + n, source), nullptr);
    form6_->FormShow();
    ChooseEntry(combo_, QString::fromStdString(n));
    const int before = Library()->GetCount();

    ModalDriver driver;
    // OK on the taken suggestion asks again; Cancel then ends the prompt.
    driver.Then([](QWidget* modal) { static_cast<QInputDialog*>(modal)->accept(); }).CancelInput();
    QTest::mouseClick(copy_, Qt::LeftButton);
    ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();
    ASSERT_EQ(driver.Seen().size(), 2u);
    EXPECT_EQ(driver.Seen()[0].value, "Copy 127 of " + n);
    EXPECT_EQ(driver.Seen()[1].value, "Copy 127 of " + n);
    EXPECT_EQ(Library()->GetCount(), before);
    EXPECT_EQ(CurrentPortfolio()->GetTemplate(), source);

    // A free name typed at the prompt is taken.
    ModalDriver again;
    again.Input("Copy 128 of " + QString::fromStdString(n));
    QTest::mouseClick(copy_, Qt::LeftButton);
    ASSERT_TRUE(again.WaitAllDone()) << again.Report();
    EXPECT_EQ(Library()->GetCount(), before + 1);
    EXPECT_NE(Library()->FindTemplate("Copy 128 of " + n), nullptr);
}

TEST_F(TemplatesDialogTest, CancelOnTheCopyPromptCreatesNothing)
{
    ShowDialog();
    const int before = Library()->GetCount();
    Template* used = CurrentPortfolio()->GetTemplate();
    ModalDriver driver;
    driver.CancelInput();
    QTest::mouseClick(copy_, Qt::LeftButton);
    ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();
    EXPECT_EQ(Library()->GetCount(), before);
    EXPECT_EQ(CurrentPortfolio()->GetTemplate(), used);
}

TEST_F(TemplatesDialogTest, ABuiltInSelectionClosesTheEditorAndDisablesEditAndDelete)
{
    ShowDialog();
    ASSERT_TRUE(Library()->GetTemplate(0)->IsBuiltin());
    Template* mine = Library()->CopyTemplate("Mine", Library()->GetTemplate(0));
    form6_->FormShow();
    ChooseEntry(combo_, "Mine");
    ASSERT_TRUE(edit_->isEnabled());
    const int closedHeight = form6_->height();
    QTest::mouseClick(edit_, Qt::LeftButton);
    EXPECT_EQ(edit_->text(), "Edit <<");
    EXPECT_EQ(form6_->height(), closedHeight + 261);
    EXPECT_TRUE(form6_->Editor()->isVisible());
    EXPECT_EQ(form6_->Editor()->GetTemplate(), mine);

    ChooseEntry(combo_, QString::fromStdString(Library()->GetTemplate(0)->GetName()));
    EXPECT_EQ(CurrentPortfolio()->GetTemplate(), Library()->GetTemplate(0));
    EXPECT_EQ(edit_->text(), "Edit >>");
    EXPECT_EQ(form6_->height(), closedHeight);
    EXPECT_FALSE(form6_->Editor()->isVisible());
    EXPECT_EQ(form6_->Editor()->GetTemplate(), nullptr);
    EXPECT_FALSE(edit_->isEnabled());
    EXPECT_FALSE(delete_->isEnabled());
    EXPECT_TRUE(copy_->isEnabled());
    // OK only closes the window.
    QTest::mouseClick(Find6<QPushButton>("Button2"), Qt::LeftButton);
    EXPECT_FALSE(form6_->isVisible());
    EXPECT_EQ(form6_->result(), QDialog::Accepted);
}

TEST_F(TemplatesDialogTest, DeletingThePortfoliosTemplateMovesItToTheFirstShippedOne)
{
    ShowDialog();
    Library()->CopyTemplate("First", Library()->GetTemplate(1));
    Template* doomed = Library()->CopyTemplate("Doomed", Library()->GetTemplate(1));
    form6_->FormShow();
    ChooseEntry(combo_, "Doomed");
    QTest::mouseClick(edit_, Qt::LeftButton);
    ASSERT_EQ(form6_->Editor()->GetTemplate(), doomed);
    const int before = Library()->GetCount();

    std::vector<SeenModal> seen;
    DeleteSelected(QMessageBox::Yes, &seen);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].title, "Delete Template...");
    EXPECT_EQ(seen[0].text, "Are you sure you wish to delete this template?");
    EXPECT_EQ(seen[0].icon, QMessageBox::Question);

    EXPECT_EQ(Library()->GetCount(), before - 1);
    EXPECT_EQ(Library()->FindTemplate("Doomed"), nullptr);
    EXPECT_EQ(CurrentPortfolio()->GetTemplate(), Library()->GetTemplate(0));
    EXPECT_NE(form6_->Editor()->GetTemplate(), doomed);
    ExpectPortfolioTemplateIsLiveAndShown();
}

TEST_F(TemplatesDialogTest, DeletingThePortfoliosTemplateAmongUserTemplatesMovesItToAnother)
{
    UseOnlyUserTemplates({"Alpha", "Beta", "Gamma"});
    ShowDialog();
    ChooseEntry(combo_, "Beta");
    DeleteSelected(QMessageBox::Yes);
    EXPECT_EQ(Library()->GetCount(), 2);
    EXPECT_EQ(CurrentPortfolio()->GetTemplate(), Library()->FindTemplate("Alpha"));
    ExpectPortfolioTemplateIsLiveAndShown();

    // The first template itself goes too: the next one takes over.
    ChooseEntry(combo_, "Alpha");
    DeleteSelected(QMessageBox::Yes);
    EXPECT_EQ(CurrentPortfolio()->GetTemplate(), Library()->FindTemplate("Gamma"));
    ExpectPortfolioTemplateIsLiveAndShown();
}

TEST_F(TemplatesDialogTest, TheLastTemplateIsNotDeleted)
{
    UseOnlyUserTemplates({"Only"});
    ShowDialog();
    DeleteSelected(QMessageBox::Yes);
    ASSERT_EQ(Library()->GetCount(), 1);
    EXPECT_EQ(CurrentPortfolio()->GetTemplate(), Library()->FindTemplate("Only"));
    ExpectPortfolioTemplateIsLiveAndShown();
}

TEST_F(TemplatesDialogTest, DeleteGoesOnOnlyOnYes)
{
    ShowDialog();
    Library()->CopyTemplate("Kept", Library()->GetTemplate(0));
    form6_->FormShow();
    ChooseEntry(combo_, "Kept");
    for (bool closeBox : {false, true}) {
        SCOPED_TRACE(closeBox);
        ModalDriver driver;
        if (closeBox)
            driver.Reject();
        else
            driver.Press(QMessageBox::No);
        QTest::mouseClick(delete_, Qt::LeftButton);
        ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();
        EXPECT_NE(Library()->FindTemplate("Kept"), nullptr);
        EXPECT_EQ(CurrentPortfolio()->GetTemplate(), Library()->FindTemplate("Kept"));
    }
}

TEST_F(TemplatesDialogTest, TheMainWindowsTemplateCommandShowsTheDialogModally)
{
    MakeForms();
    ModalDriver driver;
    bool modal = false;
    driver.Then([&](QWidget* window) {
        modal = window == form6_.get() && window->isModal();
        window->findChild<QPushButton*>("Button2")->click();
    });
    form1_->findChild<QAction*>("ToolButton8")->trigger();
    ASSERT_TRUE(driver.AllDone()) << driver.Report();
    EXPECT_TRUE(modal);
    EXPECT_EQ(driver.Seen()[0].title, "Select a Template to use...");
}

} // namespace

#include "app/TFrame5.h"
#include "app/TShape.h"
#include "model/StaticFile.h"
#include "model/Style.h"

#include "tests/app/WindowTestSupport.h"
#include "tests/support/ModalDriver.h"
#include "tests/support/TempDir.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QImage>
#include <QLineEdit>
#include <QToolButton>

namespace {

// A small picture file; returns its path.
std::string WritePicture(const TempDir& dir, const std::string& name, Qt::GlobalColor colour)
{
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(colour);
    const std::string path = dir / name;
    EXPECT_TRUE(picture.save(QString::fromStdString(path)));
    return path;
}

// The editor on its own, showing user templates copied from shipped ones.
class TemplateEditorTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        first_ = Library()->CopyTemplate("First", Library()->GetTemplate(0));
        second_ = Library()->CopyTemplate("Second", Library()->GetTemplate(1));
        ASSERT_NE(first_, nullptr);
        ASSERT_NE(second_, nullptr);
        frame_ = std::make_unique<TFrame5>();
        frame_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame_.get()));
    }

    void TearDown() override
    {
        frame_.reset();
        WindowTest::TearDown();
    }

    template <class T>
    T* Find(const char* name)
    {
        T* widget = frame_->findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    // The style of the element the list shows.
    Style* ElementStyle(const std::string& friendlyName)
    {
        for (int i = 0; i < frame_->GetTemplate()->GetStyleCount(); ++i)
            if (frame_->GetTemplate()->GetStyle(i)->FriendlyName == friendlyName)
                return frame_->GetTemplate()->GetStyle(i);
        return nullptr;
    }

    Template* first_ = nullptr;
    Template* second_ = nullptr;
    std::unique_ptr<TFrame5> frame_;
};

TEST_F(TemplateEditorTest, ViewingTemplatesAndElementsWritesNothing)
{
    const std::string firstXml = TemplateXml(first_);
    const std::string secondXml = TemplateXml(second_);
    frame_->SetTemplate(first_);
    auto* elements = Find<QComboBox>("ComboBox1");
    ASSERT_GT(elements->count(), 1);
    for (int i = elements->count() - 1; i >= 0; --i)
        ChooseEntry(elements, i);
    frame_->SetTemplate(second_);
    for (int i = 0; i < elements->count(); ++i)
        ChooseEntry(elements, i);
    frame_->SetTemplate(first_);
    EXPECT_EQ(TemplateXml(first_), firstXml);
    EXPECT_EQ(TemplateXml(second_), secondXml);
}

TEST_F(TemplateEditorTest, TheElementListHoldsTheNamedStylesInOrder)
{
    frame_->SetTemplate(first_);
    auto* elements = Find<QComboBox>("ComboBox1");
    std::vector<std::string> expected;
    for (int i = 0; i < first_->GetStyleCount(); ++i)
        if (!first_->GetStyle(i)->FriendlyName.empty())
            expected.push_back(first_->GetStyle(i)->FriendlyName);
    std::vector<std::string> shown;
    for (int i = 0; i < elements->count(); ++i)
        shown.push_back(elements->itemText(i).toStdString());
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(elements->currentIndex(), 0);
}

TEST_F(TemplateEditorTest, EachChangedControlWritesOnlyItsOwnProperty)
{
    frame_->SetTemplate(first_);
    auto* elements = Find<QComboBox>("ComboBox1");
    const QString family = Find<QComboBox>("ComboBox2")->itemText(0);
    struct Case {
        const char* control;
        QString entry;
        std::string Style::*field;
    } cases[] = {
        {"ComboBox2", family, &Style::FontFamily},
        {"ComboBox3", "72", &Style::FontSize},
        {"ComboBox4", "Italic", &Style::FontStyle},
        {"ComboBox6", "Justify", &Style::TextAlign},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.control);
        // A fresh element each time, whose style has no font colour.
        Style* style = ElementStyle(elements->itemText(elements->count() - 1).toStdString());
        ASSERT_NE(style, nullptr);
        style->FontColor.clear();
        ChooseEntry(elements, 0);
        ChooseEntry(elements, elements->count() - 1);
        const std::string before = style->*(c.field);
        const std::string otherwise = TemplateXml(first_);
        ChooseEntry(Find<QComboBox>(c.control), c.entry);
        EXPECT_EQ(style->*(c.field), c.entry.toStdString());
        // Everything else stays as it was, the missing font colour included.
        style->*(c.field) = before;
        EXPECT_EQ(TemplateXml(first_), otherwise);
    }

    // The page background's repeat is the template's, and only that.
    Style* page = ElementStyle("Page Background");
    ASSERT_NE(page, nullptr);
    first_->SetBackgroundColor(0x00123456);
    frame_->SetTemplate(second_);
    frame_->SetTemplate(first_);
    const std::string repeat = page->BackgroundRepeat;
    const std::string otherwise = TemplateXml(first_);
    ChooseEntry(Find<QComboBox>("ComboBox5"), "Vertical");
    EXPECT_EQ(first_->GetBackgroundRepeat(), "Vertical");
    page->BackgroundRepeat = repeat;
    EXPECT_EQ(TemplateXml(first_), otherwise);
}

TEST_F(TemplateEditorTest, AShippedTemplatesCopyShowsItsOwnFontAndSizeAndKeepsThem)
{
    frame_->SetTemplate(first_);
    auto* fonts = Find<QComboBox>("ComboBox2");
    auto* sizes = Find<QComboBox>("ComboBox3");
    // Every element of a shipped template names a CSS font list; sizes such
    // as 34 and 30 are not among the offered ones.
    Style* title = ElementStyle("Artist Name");
    ASSERT_NE(title, nullptr);
    title->FontSize = "34";
    ASSERT_EQ(sizes->findText("34"), -1);
    ChooseEntry(Find<QComboBox>("ComboBox1"), "Artist Name");
    const std::string family = title->FontFamily;
    ASSERT_NE(family.find(','), std::string::npos) << family;

    // The first family of the list that is installed.
    QString firstInstalled;
    for (QString part : QString::fromStdString(family).split(',')) {
        part = part.trimmed().remove('\'').remove('"');
        if (fonts->findText(part, Qt::MatchFixedString) >= 0) {
            firstInstalled = fonts->itemText(fonts->findText(part, Qt::MatchFixedString));
            break;
        }
    }
    ASSERT_FALSE(firstInstalled.isEmpty()) << family;
    EXPECT_EQ(fonts->currentText(), firstInstalled);
    EXPECT_EQ(sizes->currentText(), "34");
    // Shown in its place among the sizes.
    EXPECT_EQ(sizes->itemText(sizes->currentIndex() - 1), "32");
    EXPECT_EQ(sizes->itemText(sizes->currentIndex() + 1), "36");

    // Changing only the alignment keeps the artist name at 34 pixels in its own fonts.
    ChooseEntry(Find<QComboBox>("ComboBox6"), "Right");
    EXPECT_EQ(title->TextAlign, "Right");
    EXPECT_EQ(title->FontSize, "34");
    EXPECT_EQ(title->FontFamily, family);

    // A list of fonts of which none is installed shows as it is written; a
    // size of another element is not left behind in the list.
    Style* text = ElementStyle("Body Text");
    ASSERT_NE(text, nullptr);
    text->FontFamily = "'Nowhere Sans', 'Gone Serif', fantasy";
    text->FontSize = "30";
    ChooseEntry(Find<QComboBox>("ComboBox1"), "Body Text");
    EXPECT_EQ(fonts->currentText(), "'Nowhere Sans', 'Gone Serif', fantasy");
    EXPECT_EQ(sizes->currentText(), "30");
    EXPECT_EQ(sizes->findText("34"), -1);
    EXPECT_EQ(sizes->count(), 35);
    ChooseEntry(Find<QComboBox>("ComboBox4"), "Bold");
    EXPECT_EQ(text->FontFamily, "'Nowhere Sans', 'Gone Serif', fantasy");
    EXPECT_EQ(text->FontSize, "30");
    // A size picked from the list replaces the style's own.
    ChooseEntry(sizes, "28");
    EXPECT_EQ(text->FontSize, "28");
}

TEST_F(TemplateEditorTest, ThereAreThirtyFourSizesAndNoThirty)
{
    auto* sizes = Find<QComboBox>("ComboBox3");
    EXPECT_EQ(sizes->count(), 34);
    EXPECT_EQ(sizes->findText("30"), -1);
    EXPECT_EQ(sizes->itemText(0), "6");
    EXPECT_EQ(sizes->itemText(11), "18");
    EXPECT_EQ(sizes->itemText(17), "32");
    EXPECT_EQ(sizes->itemText(33), "96");
}

TEST_F(TemplateEditorTest, FontsAreFamilyNames)
{
    auto* fonts = Find<QComboBox>("ComboBox2");
    ASSERT_GT(fonts->count(), 0);
    EXPECT_GE(fonts->findText("DejaVu Sans"), 0);
    for (int i = 0; i < fonts->count(); ++i) {
        EXPECT_TRUE(QFontDatabase::hasFamily(fonts->itemText(i))) << fonts->itemText(i).toStdString();
        EXPECT_FALSE(fonts->itemText(i).endsWith(" Bold")) << fonts->itemText(i).toStdString();
    }
}

TEST_F(TemplateEditorTest, APickedFontColourIsStoredRedGreenBlue)
{
    frame_->SetTemplate(first_);
    Style* style = ElementStyle(Find<QComboBox>("ComboBox1")->currentText().toStdString());
    ModalDriver driver;
    driver.ChooseColor(QColor(255, 0, 0));
    QTest::mouseClick(Find<TShape>("Shape1"), Qt::LeftButton);
    ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();
    EXPECT_EQ(style->FontColor, "0x00FF0000");
    EXPECT_EQ(Find<TShape>("Shape1")->BrushColor(), 0x000000FFu);
}

TEST_F(TemplateEditorTest, ARightClickOnASwatchDoesNothing)
{
    frame_->SetTemplate(first_);
    const std::string before = TemplateXml(first_);
    ModalDriver driver;  // no step: any colour dialog would be unexpected
    QTest::mouseClick(Find<TShape>("Shape1"), Qt::RightButton);
    QTest::mouseClick(Find<TShape>("Shape1"), Qt::MiddleButton);
    ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();
    EXPECT_TRUE(driver.Seen().empty());
    EXPECT_EQ(TemplateXml(first_), before);
}

TEST_F(TemplateEditorTest, UntickingTheBackgroundRemovesImageAndColourAndTiles)
{
    TempDir dir;
    ASSERT_TRUE(first_->SetBackgroundImage(WritePicture(dir, "sky.png", Qt::blue)));
    first_->SetBackgroundColor(0x00336699);
    first_->SetBackgroundRepeat("Vertical");

    frame_->SetTemplate(first_);
    auto* box = Find<QCheckBox>("CheckBox1");
    ASSERT_TRUE(box->isChecked());
    EXPECT_EQ(Find<QToolButton>("ToolButton1")->text(), "sky.png");
    EXPECT_EQ(Find<QComboBox>("ComboBox5")->currentText(), "Vertical");
    EXPECT_EQ(Find<TShape>("Shape3")->BrushColor(), 0x00336699u);

    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(first_->GetBackgroundImage(), "");
    EXPECT_EQ(first_->GetBackgroundColor(), 0xFFFFFFu);
    EXPECT_EQ(first_->GetBackgroundRepeat(), "Tile");
    EXPECT_EQ(Find<QToolButton>("ToolButton1")->text(), "Click to attach a file...");
    EXPECT_FALSE(Find<QToolButton>("ToolButton1")->isEnabled());
    EXPECT_FALSE(Find<TShape>("Shape3")->isEnabled());
}

TEST_F(TemplateEditorTest, ATemplateWithoutBackgroundNeverGetsThePreviousOnesColour)
{
    first_->SetBackgroundColor(0x000000FF);
    second_->SetBackgroundImage("");
    second_->SetBackgroundColor(0xFFFFFF);
    frame_->SetTemplate(first_);
    frame_->SetTemplate(second_);
    auto* box = Find<QCheckBox>("CheckBox1");
    EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(Find<QComboBox>("ComboBox5")->currentText(), "Tile");
    QTest::mouseClick(box, Qt::LeftButton);
    ASSERT_TRUE(box->isChecked());
    EXPECT_EQ(second_->GetBackgroundColor(), 0xFFFFFFu);
    EXPECT_EQ(first_->GetBackgroundColor(), 0x000000FFu);
}

TEST_F(TemplateEditorTest, AnImagePickedInTheFileDialogLandsInTheTemplate)
{
    TempDir dir;
    const std::string path = WritePicture(dir, "meadow.png", Qt::green);

    first_->SetBackgroundImage("");
    first_->SetBackgroundColor(0x00ABCDEF);
    frame_->SetTemplate(first_);
    ASSERT_TRUE(Find<QToolButton>("ToolButton1")->isEnabled());

    ModalDriver driver;
    driver.ChooseFile(QString::fromStdString(path));
    QTest::mouseClick(Find<QToolButton>("ToolButton1"), Qt::LeftButton);
    ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();
    EXPECT_EQ(driver.Seen()[0].title, "Select a background image...");

    EXPECT_EQ(first_->GetBackgroundImage(), "meadow.png");
    StaticFile* file = first_->FindStaticFile("meadow.png");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->GetType(), "Background");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(file->GetData()), file->GetSize()), ReadFileBytes(path));
    EXPECT_EQ(Find<QToolButton>("ToolButton1")->text(), "meadow.png");
    // The page keeps the colour its swatch shows beside the new image.
    EXPECT_EQ(first_->GetBackgroundColor(), 0x00ABCDEFu);
    EXPECT_EQ(first_->GetBackgroundImage(), "meadow.png");
}

TEST_F(TemplateEditorTest, AFileThatCannotBeReadChangesNothing)
{
    first_->SetBackgroundColor(0x00ABCDEF);
    frame_->SetTemplate(first_);
    const std::string before = TemplateXml(first_);
    TempDir dir;
    const std::string path = dir.Write("gone.png", "x");
    ModalDriver driver;
    driver.Then([&](QWidget* modal) {
        // Chosen, then gone before the template reads it.
        std::filesystem::remove(path);
        auto* edit = modal->findChild<QLineEdit*>("fileNameEdit");
        edit->setText(QString::fromStdString(path));
        static_cast<QDialog*>(modal)->accept();
    });
    QTest::mouseClick(Find<QToolButton>("ToolButton1"), Qt::LeftButton);
    driver.WaitAllDone();
    EXPECT_EQ(TemplateXml(first_), before);
    EXPECT_EQ(Find<QToolButton>("ToolButton1")->text(), "Click to attach a file...");
}

} // namespace

#pragma once
// Shared by the window tests: a clean template library per test and user-like
// ways to pick combo-box entries.
#include "app/TForm1.h"
#include "app/TForm6.h"
#include "FreeImage/FreeWinBitmap.h"
#include "model/Picture.h"
#include "model/Options.h"
#include "model/Portfolio.h"
#include "model/Template.h"
#include "model/TemplateLibrary.h"
#include "platform/gdiplus/ScreenBitmap.h"
#include "platform/xml/XMLDocument.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

inline std::string UserTemplateFolder()
{
    return std::string(std::getenv("XDG_DATA_HOME")) + "/VelmoraCreator/Templates/";
}

// The template's stored form, to see whether anything was written into it.
inline std::string TemplateXml(const Template* item)
{
    TXMLDocument document;
    IXMLNode root = document.AddChild("Templates");
    item->SaveToXml(root);
    return document.SaveToXML();
}

// The artwork's current image, as the screen shows it.
inline QImage PictureImage(const Picture* picture)
{
    const HBITMAP handle = picture->GetBitmap()->CopyToBitmapH();
    QImage image = GetScreenBitmap(handle).copy();
    DeleteObject(handle);
    return image;
}

// Chooses an entry as a user does: opens the list and clicks the entry.
inline void ChooseEntry(QComboBox* combo, int index)
{
    combo->showPopup();
    QAbstractItemView* view = combo->view();
    const QModelIndex item = view->model()->index(index, combo->modelColumn(), combo->rootModelIndex());
    view->scrollTo(item);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(item).center());
    QApplication::processEvents();
}

inline void ChooseEntry(QComboBox* combo, const QString& text)
{
    const int index = combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    ASSERT_GE(index, 0) << text.toStdString();
    ChooseEntry(combo, index);
    ASSERT_EQ(combo->currentText(), text);
}

// Each test starts from the shipped templates and no user file, with the
// main window and the templates dialog made as the program makes them.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TemplateLibrary::FreeInstance();
        std::filesystem::remove_all(UserTemplateFolder());
    }

    void TearDown() override
    {
        Form6 = nullptr;
        form6_.reset();
        form1_.reset();
        TemplateLibrary::FreeInstance();
        std::filesystem::remove_all(UserTemplateFolder());
    }

    // Replaces the library's contents by user templates of these names, each
    // a copy of the first shipped template's styles.
    void UseOnlyUserTemplates(const std::vector<std::string>& names)
    {
        TemplateLibrary* library = TemplateLibrary::Instance();
        ASSERT_GT(library->GetCount(), 0);
        Template* shipped = library->GetTemplate(0);
        for (const std::string& name : names)
            ASSERT_NE(library->CopyTemplate(name, shipped), nullptr);
        const std::string path = UserTemplateFolder() + "only-mine.vtp";
        std::filesystem::create_directories(UserTemplateFolder());
        ASSERT_TRUE(library->Save(path));
        ASSERT_TRUE(library->LoadFile(path, true));
        ASSERT_EQ(library->GetCount(), static_cast<int>(names.size()));
    }

    void MakeForms()
    {
        // These tests are not about the welcome window, which would hold
        // the main window disabled.
        Options::Instance()->SetShowWelcome(false);
        form1_ = std::make_unique<TForm1>();
        form6_ = std::make_unique<TForm6>();
        Form6 = form6_.get();
    }

    TemplateLibrary* Library() { return TemplateLibrary::Instance(); }
    Portfolio* CurrentPortfolio() { return Form1->GetPortfolio(); }

    template <class T>
    T* Find6(const char* name)
    {
        T* widget = form6_->findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    std::unique_ptr<TForm1> form1_;
    std::unique_ptr<TForm6> form6_;
};

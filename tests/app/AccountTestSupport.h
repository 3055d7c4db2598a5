#pragma once
// Shared by the account list, account dialog and options dialog tests: a
// registry of its own per test, the account dialog made as at start-up, and
// user-like clicks on the list's entries.
#include "app/TButtonGroup.h"
#include "app/TForm17.h"
#include "app/TFrame3.h"
#include "platform/registry/RegistryIniFile.h"
#include "services/Emailer.h"
#include "services/EmailerFactory.h"
#include "services/Smtp.h"
#include "tests/platform/registry/RegistryFixture.h"
#include "tests/support/DesktopMailProgram.h"
#include "tests/support/TempDir.h"

#include <QAbstractButton>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

class AccountWindowTest : public RegistryTest {
protected:
    void SetUp() override
    {
        RegistryTest::SetUp();
        NameDesktopMailProgram();
        EmailerFactory::FreeInstance();
        form17_ = std::make_unique<TForm17>();
        Form17 = form17_.get();
    }
    void TearDown() override
    {
        frame_.reset();
        form17_.reset();
        Form17 = nullptr;
        // Nothing may be saved into the next test's registry.
        EmailerFactory::FreeInstance();
        RegistryTest::TearDown();
    }

    EmailerFactory* Factory() { return EmailerFactory::Instance(); }

    Emailer* Add(const std::string& address, const std::string& password = "pw")
    {
        Emailer* account = Factory()->AddAccount(address, password);
        EXPECT_NE(account, nullptr) << address;
        return account;
    }

    // The mail client's account, always first in the factory.
    std::string MailClientName() { return Factory()->GetAccountName(0); }

    TFrame3* ShowFrame(bool manage, IEmailWizard* wizard = nullptr)
    {
        frame_ = std::make_unique<TFrame3>(nullptr, manage, wizard);
        frame_->resize(385, 400);
        frame_->FillAccountList();
        frame_->show();
        QApplication::processEvents();
        return frame_.get();
    }

    std::vector<std::string> Captions() const
    {
        std::vector<std::string> captions;
        for (int i = 0; i < frame_->ButtonGroup1->Count(); ++i)
            captions.push_back(frame_->ButtonGroup1->At(i)->Caption.toStdString());
        return captions;
    }

    int IndexOf(const std::string& caption) const
    {
        for (int i = 0; i < frame_->ButtonGroup1->Count(); ++i)
            if (frame_->ButtonGroup1->At(i)->Caption.toStdString() == caption)
                return i;
        ADD_FAILURE() << "no entry " << caption;
        return -1;
    }

    void ClickEntry(const std::string& caption)
    {
        QAbstractButton* button = frame_->ButtonGroup1->Button(IndexOf(caption));
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
        QApplication::processEvents();
    }

    // A right-click at a point of the group's viewport, delivered to the
    // widget under it as the window system would.
    void RightClickAt(const QPoint& pos)
    {
        QWidget* viewport = frame_->ButtonGroup1->viewport();
        QWidget* target = viewport->childAt(pos);
        if (!target)
            target = viewport;
        const QPoint local = target->mapFrom(viewport, pos);
        QContextMenuEvent event(QContextMenuEvent::Mouse, local, target->mapToGlobal(local));
        QApplication::sendEvent(target, &event);
        QApplication::processEvents();
    }

    void RightClickEntry(const std::string& caption)
    {
        RightClickAt(frame_->ButtonGroup1->ItemRect(IndexOf(caption)).center());
    }

    bool MenuShown() const { return frame_->PopupMenu1->isVisible(); }

    QAction* MenuItem(const char* name) const { return frame_->PopupMenu1->findChild<QAction*>(name); }

    // Chooses an item of the open context menu with the mouse.
    void ChooseMenuItem(const char* name)
    {
        QAction* item = MenuItem(name);
        ASSERT_NE(item, nullptr) << name;
        ASSERT_TRUE(MenuShown());
        QTest::mouseClick(frame_->PopupMenu1, Qt::LeftButton, {},
                          frame_->PopupMenu1->actionGeometry(item).center());
        QApplication::processEvents();
    }

    std::string Stored(const std::string& section, const std::string& value)
    {
        TRegistryIniFile store(Emailer::RegistryKey(), KEY_READ);
        return store.ReadString(section, value, "<missing>");
    }

    bool SectionExists(const std::string& section)
    {
        TRegistryIniFile store(Emailer::RegistryKey(), KEY_READ);
        for (const std::string& s : store.ReadSections())
            if (s == section)
                return true;
        return false;
    }

    template <class T>
    T* Find17(const char* name)
    {
        T* widget = form17_->findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    std::unique_ptr<TForm17> form17_;
    std::unique_ptr<TFrame3> frame_;
};

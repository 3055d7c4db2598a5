#include "app/TApplication.h"

#include "tests/support/ModalDriver.h"

#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <stdexcept>

namespace {

TEST(Application, AnExceptionEscapingASlotIsShownAndTheProgramGoesOn)
{
    ASSERT_NE(Application(), nullptr);
    QPushButton button("Throw");
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, [&] {
        ++clicks;
        if (clicks == 1)
            throw std::runtime_error("Failed to create a temporary directory.");
        if (clicks == 2)
            throw 42;
    });
    button.show();

    ModalDriver driver;
    driver.Press(QMessageBox::Ok).Press(QMessageBox::Ok);
    QTest::mouseClick(&button, Qt::LeftButton);
    QTest::mouseClick(&button, Qt::LeftButton);
    ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();
    ASSERT_EQ(driver.Seen().size(), 2u);
    EXPECT_EQ(driver.Seen()[0].title, "Velmora Voravev");
    EXPECT_EQ(driver.Seen()[0].text, "Failed to create a temporary directory.");
    EXPECT_EQ(driver.Seen()[0].icon, QMessageBox::Critical);
    // Something that is not an exception of ours carries no message.
    EXPECT_EQ(driver.Seen()[1].text, "");
    EXPECT_EQ(driver.Seen()[1].icon, QMessageBox::Critical);

    // The event loop survived: the next click is handled as usual.
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicks, 3);
}

} // namespace

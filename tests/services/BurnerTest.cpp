// The burner's texts and steps against the fake disc master, and its
// progress sink.
#include <gtest/gtest.h>

#include <QLabel>

#include "platform/com/ComRuntime.h"
#include "platform/rtl/Exception.h"
#include "services/BurnThread.h"
#include "services/Burner.h"
#include "services/BurnerProgressEvents.h"
#include "services/TForm3.h"
#include "tests/services/FakeDiscMaster.h"

namespace {

class BurnerTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        EXPECT_FALSE(CoIsInitialized()) << "the burner ends OLE for the thread";
        EXPECT_EQ(Fake().liveObjects, 0) << "every reference is released";
    }
    FakeDiscMasterClass fake;
};

TEST(BurnerErrorText, GivesTheTableTextOrTheCodeInHex)
{
    struct Case {
        HRESULT code;
        const char* text;
    };
    const Case cases[] = {
        {IMAPI_S_PROPERTIESIGNORED, "An unknown property was passed in a property set and it was ignored."},
        {IMAPI_E_DEVICE_NOTACCESSIBLE, "The device cannot be used or is already in use."},
        {IMAPI_E_DISCFULL, "The disc cannot hold any more data."},
        {IMAPI_E_WRONGFORMAT,
            "A call to IJolietDiscMaster has been made when IRedbookDiscMaster is the active format, or vice versa. "
            "To use a different format, change the format and clear the image file contents."},
        {IMAPI_E_REMOVABLESTASH, "The selected stash location is on a removable media."},
        {E_FAIL, "An unknown IMAPI error (0x80004005) occurred."},
        {S_FALSE, "An unknown IMAPI error (0x00000001) occurred."},
        {MakeHResult(0x8004022Cu), "An unknown IMAPI error (0x8004022C) occurred."}, // just past the table
    };
    for (const Case& c : cases)
        EXPECT_EQ(Burner::ErrorText(c.code), c.text) << std::hex << c.code;
}

TEST_F(BurnerTest, ConstructionFailuresThrowTheirMessages)
{
    struct Case {
        const char* name;
        void (*script)(FakeScript&);
        const char* message;
    };
    const Case cases[] = {
        {"not created", [](FakeScript& s) { s.create = E_OUTOFMEMORY; },
            "The disc writer could not be started. An unknown IMAPI error (0x8007000E) occurred."},
        {"open elsewhere", [](FakeScript& s) { s.open = IMAPI_E_ALREADYOPEN; },
            "The disc writer is already in use by another program. A call to IDiscMaster::Open has already "
            "been made against this object by your application."},
        {"not opened", [](FakeScript& s) { s.open = IMAPI_E_GENERIC; },
            "The disc writer could not be opened. A generic error occurred."},
        {"open answers S_FALSE", [](FakeScript& s) { s.open = S_FALSE; },
            "The disc writer could not be opened. An unknown IMAPI error (0x00000001) occurred."},
        {"no recorder list", [](FakeScript& s) { s.enumerate = IMAPI_E_NOTINITIALIZED; },
            "Failed to enumerate Disc Recorders."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fake() = FakeScript{};
        c.script(Fake());
        try {
            Burner burner(nullptr);
            ADD_FAILURE() << "no exception";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
        EXPECT_FALSE(CoIsInitialized());
        EXPECT_EQ(Fake().liveObjects, 0);
    }
}

TEST_F(BurnerTest, SelectsOnlyRecordersThatWereFound)
{
    Fake().recorders.resize(2);
    Burner burner(nullptr);
    EXPECT_EQ(burner.RecorderCount(), 2);
    for (int index : {-1, 2, 3}) {
        EXPECT_FALSE(burner.SelectRecorder(index)) << index;
        EXPECT_EQ(burner.GetText(), "Burner index out of range.");
    }
    EXPECT_TRUE(burner.SelectRecorder(1));
    EXPECT_EQ(burner.GetText(), "");
    EXPECT_TRUE(burner.Burn("/portfolio/"));
    EXPECT_EQ(Fake().activeRecorder, 1);
}

TEST_F(BurnerTest, ARecorderGoneSinceConstructionCannotBeSet)
{
    Fake().recorders.resize(1);
    Fake().recordersVanish = true;
    Burner burner(nullptr);
    ASSERT_EQ(burner.RecorderCount(), 1);
    EXPECT_FALSE(burner.SelectRecorder(0));
    EXPECT_EQ(burner.GetText(), "Failed to set burner.");
}

TEST_F(BurnerTest, CountsAtMost32Recorders)
{
    Fake().recorders.resize(40);
    Burner burner(nullptr);
    EXPECT_EQ(burner.RecorderCount(), 32);
    EXPECT_TRUE(burner.SelectRecorder(31));
    EXPECT_FALSE(burner.SelectRecorder(32));
}

TEST_F(BurnerTest, ChecksTheDiscInTheRecorder)
{
    struct Case {
        const char* name;
        FakeRecorder recorder;
        bool ok;
        const char* text;
    };
    const Case cases[] = {
        {"blank CD", {S_OK, MEDIA_CD_ROM_XA, MEDIA_BLANK | MEDIA_WRITABLE, ""}, true, ""},
        {"no disc", {S_OK, 0, 0, ""}, false, "No disk in the drive. Please insert a blank CD."},
        {"DVD, even when writable", {S_OK, MEDIA_SPECIAL, MEDIA_FORMAT_UNUSABLE_BY_IMAPI | MEDIA_WRITABLE, ""}, false,
            "DVD disks are not supported, please use writable CD disks."},
        {"written CD", {S_OK, MEDIA_CD_ROM_XA, MEDIA_RW, ""}, false, "The disk is not writeable."},
        {"drive held elsewhere", {IMAPI_E_DEVICE_NOTACCESSIBLE, 0, 0, ""}, false,
            "The device cannot be used or is already in use."},
        {"drive gone", {IMAPI_E_DEVICE_NOTPRESENT, 0, 0, ""}, false, "The device is not present or has been removed."},
        {"query throws", {S_OK, 0, 0, "drive fault"}, false, "drive fault"},
        {"query throws without a message", {S_OK, 0, 0, "-"}, false, "A generic error occurred."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fake() = FakeScript{};
        Fake().recorders = {c.recorder};
        {
            Burner burner(nullptr);
            ASSERT_TRUE(burner.SelectRecorder(0));
            EXPECT_EQ(burner.CheckMedia(), c.ok);
            EXPECT_EQ(burner.GetText(), c.text);
        }
        EXPECT_EQ(Fake().recorderCloses, 1) << "the recorder is let go in every case";
    }
}

TEST_F(BurnerTest, CheckingWithoutARecorderSaysSo)
{
    Burner burner(nullptr);
    EXPECT_FALSE(burner.CheckMedia());
    EXPECT_EQ(burner.GetText(), "A recorder object has not been initialized.");
}

TEST_F(BurnerTest, BurnStagesTheFolderAndRecordsWithEject)
{
    Fake().recorders.resize(1);
    Burner burner(nullptr);
    ASSERT_TRUE(burner.SelectRecorder(0));
    ASSERT_TRUE(burner.Burn("/tmp/Velmora Voravev/3/"));
    EXPECT_EQ(burner.GetText(), "");
    EXPECT_EQ(Fake().folder, u"/tmp/Velmora Voravev/3/");
    EXPECT_EQ(Fake().records, (std::vector<std::pair<int, int>>{{0, 1}})) << "no simulation, eject when done";
    EXPECT_EQ(Fake().liveSinks, 0) << "unadvised";
}

TEST_F(BurnerTest, AFailedStepLeavesItsTextAndUnadvises)
{
    struct Case {
        const char* name;
        void (*script)(FakeScript&);
        const char* text;
    };
    const Case cases[] = {
        {"format", [](FakeScript& s) { s.format = IMAPI_E_WRONGFORMAT; },
            "The disc writer could not be prepared for a data disc. A call to IJolietDiscMaster has been made when "
            "IRedbookDiscMaster is the active format, or vice versa. To use a different format, change the format "
            "and clear the image file contents."},
        {"advise", [](FakeScript& s) { s.advise = E_OUTOFMEMORY; },
            "The disc writer could not be prepared. An unknown IMAPI error (0x8007000E) occurred."},
        {"recorder", [](FakeScript& s) { s.setRecorder = IMAPI_E_DEVICE_NOTPRESENT; },
            "The drive could not be chosen for writing. The device is not present or has been removed."},
        {"missing folder", [](FakeScript& s) { s.addData = STG_E_PATHNOTFOUND; },
            "The portfolio's folder could not be read for the disc. An unknown IMAPI error (0x80030003) occurred."},
        {"unreadable folder", [](FakeScript& s) { s.addData = STG_E_ACCESSDENIED; },
            "The portfolio's folder could not be read for the disc. An unknown IMAPI error (0x80030005) occurred."},
        {"bad name", [](FakeScript& s) { s.addData = IMAPI_E_BADJOLIETNAME; },
            "The portfolio's files could not be put on the disc. The application tried to add a badly named element "
            "to a disc."},
        {"add answers S_FALSE", [](FakeScript& s) { s.addData = S_FALSE; },
            "The portfolio's files could not be put on the disc. An unknown IMAPI error (0x00000001) occurred."},
        {"full disc", [](FakeScript& s) { s.record = IMAPI_E_DISCFULL; },
            "Writing the disc failed. The disc cannot hold any more data."},
        {"no disc", [](FakeScript& s) { s.record = IMAPI_E_MEDIUM_NOTPRESENT; },
            "Writing the disc failed. There is no disc in the device."},
        {"unadvise", [](FakeScript& s) { s.unadvise = E_UNEXPECTED; },
            "The disc writer could not be released after writing. An unknown IMAPI error (0x8000FFFF) occurred."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fake() = FakeScript{};
        Fake().recorders.resize(1);
        c.script(Fake());
        const bool unadviseFails = Fake().unadvise != S_OK;
        {
            Burner burner(nullptr);
            ASSERT_TRUE(burner.SelectRecorder(0));
            EXPECT_FALSE(burner.Burn("/portfolio/"));
            EXPECT_EQ(burner.GetText(), c.text);
            if (!unadviseFails) {
                EXPECT_EQ(Fake().liveSinks, 0) << "the sink hears of no later recording";
            }
        }
        EXPECT_EQ(Fake().masterCloses, 1);
    }
}

TEST_F(BurnerTest, ForwardsBlockProgressToTheJob)
{
    TForm3 dialog;
    BurnThread job(&dialog, nullptr, true);
    Fake().recorders.resize(1);
    Fake().progress = {{0, 300}, {120, 300}, {300, 300}};
    Burner burner(&job);
    ASSERT_TRUE(burner.SelectRecorder(0));
    ASSERT_TRUE(burner.Burn("/portfolio/"));
    EXPECT_EQ(dialog.Label1->text(), "Burning Portfolio...");
    EXPECT_EQ(dialog.BarMaximum(), 300);
    EXPECT_EQ(dialog.BarPosition(), 300);
}

TEST(BurnerProgressEventsTest, AnswersItsInterfacesAndCountsReferences)
{
    EXPECT_EQ(BurnerProgressEvents::CreateInstance(nullptr), E_POINTER);
    IDiscMasterProgressEvents* events = nullptr;
    ASSERT_EQ(BurnerProgressEvents::CreateInstance(&events), S_OK);
    EXPECT_EQ(events->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(events->QueryInterface(IID_IDiscMaster, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    IUnknown* unknown = nullptr;
    ASSERT_EQ(events->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    EXPECT_EQ(unknown, static_cast<IUnknown*>(events));
    EXPECT_EQ(unknown->Release(), 1u);
    EXPECT_EQ(events->Release(), 0u);

    // A count already at 0 stays there, and the object stays alive.
    BurnerProgressEvents unowned;
    EXPECT_EQ(unowned.Release(), 0u);
    EXPECT_EQ(unowned.Release(), 0u);
    EXPECT_EQ(unowned.NotifyBlockProgress(1, 2), S_OK) << "still alive";
}

TEST(BurnerProgressEventsTest, OnlyBlockProgressIsActedOn)
{
    BurnerProgressEvents events;
    int cancel = 7;
    EXPECT_EQ(events.QueryCancel(&cancel), E_NOTIMPL);
    EXPECT_EQ(cancel, 7) << "left untouched: a burn cannot be cancelled";
    const HRESULT answers[] = {events.NotifyPnPActivity(), events.NotifyAddProgress(1, 2),
        events.NotifyTrackProgress(1, 1), events.NotifyPreparingBurn(5), events.NotifyClosingDisc(5),
        events.NotifyBurnComplete(S_OK), events.NotifyEraseComplete(S_OK)};
    for (HRESULT hr : answers)
        EXPECT_EQ(hr, E_NOTIMPL);
    EXPECT_EQ(events.NotifyBlockProgress(1, 2), S_OK) << "without an owner it reports nowhere";
}

} // namespace

// The disc master writing real images through image-file drives, read back
// with xorriso.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/com/ComModule.h"
#include "platform/com/ComRuntime.h"
#include "platform/imapi/DiscMaster.h"
#include "platform/imapi/Imapi.h"
#include "tests/platform/imapi/DiscImage.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

// Keeps every callback it gets, in order.
class RecordingSink final : public IDiscMasterProgressEvents, public RefCounted<RecordingSink> {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        return QueryInterfaceImpl<IDiscMasterProgressEvents>(
            iid, object, {IID_IUnknown, IID_IDiscMasterProgressEvents});
    }
    ULONG AddRef() override { return AddRefImpl(); }
    ULONG Release() override { return ReleaseImpl(); }
    HRESULT QueryCancel(int*) override { return E_NOTIMPL; }
    HRESULT NotifyPnPActivity() override { return E_NOTIMPL; }
    HRESULT NotifyAddProgress(LONG, LONG) override { return E_NOTIMPL; }
    HRESULT NotifyBlockProgress(LONG completed, LONG total) override
    {
        blocks.emplace_back(completed, total);
        return S_OK;
    }
    HRESULT NotifyTrackProgress(LONG, LONG) override { return E_NOTIMPL; }
    HRESULT NotifyPreparingBurn(LONG) override
    {
        events.push_back("preparing");
        return S_OK;
    }
    HRESULT NotifyClosingDisc(LONG) override { return S_OK; }
    HRESULT NotifyBurnComplete(HRESULT status) override
    {
        events.push_back("complete " + std::to_string(status));
        return S_OK;
    }
    HRESULT NotifyEraseComplete(HRESULT) override { return E_NOTIMPL; }

    std::vector<std::pair<LONG, LONG>> blocks;
    std::vector<std::string> events;
};

class DiscMasterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        ASSERT_EQ(RegisterDiscMasterClass(), S_OK);
        ASSERT_EQ(CoCreateInstance(CLSID_MSDiscMasterObj, nullptr, CLSCTX_ALL, IID_IDiscMaster,
                      reinterpret_cast<void**>(&master)),
            S_OK);
        ASSERT_EQ(master->Open(), S_OK);
    }
    void TearDown() override
    {
        if (master)
            master->Close();
        master.Reset();
        RemovePseudoDrives();
        CoUninitialize();
    }

    CComPtr<IJolietDiscMaster> Joliet()
    {
        CComPtr<IJolietDiscMaster> joliet;
        EXPECT_EQ(master->SetActiveDiscMasterFormat(IID_IJolietDiscMaster, reinterpret_cast<void**>(&joliet)), S_OK);
        return joliet;
    }

    // The recorders the master lists now.
    std::vector<CComPtr<IDiscRecorder>> Recorders()
    {
        CComPtr<IEnumDiscRecorders> list;
        EXPECT_EQ(master->EnumDiscRecorders(&list), S_OK);
        std::vector<CComPtr<IDiscRecorder>> out;
        if (!list)
            return out;
        IDiscRecorder* batch[32] = {};
        ULONG fetched = 0;
        list->Next(32, batch, &fetched);
        for (ULONG i = 0; i < fetched; ++i) {
            out.emplace_back(batch[i]);
            batch[i]->Release();
        }
        return out;
    }

    std::string PathOf(IDiscRecorder* recorder)
    {
        CComBSTR path;
        recorder->GetPath(&path);
        return path.Utf8();
    }

    // Stages folder and records it onto a new image-file drive.
    HRESULT Burn(const std::string& folder, const std::string& image, RecordingSink* sink = nullptr)
    {
        AddPseudoDrive(image);
        auto recorders = Recorders();
        if (recorders.empty())
            return E_FAIL;
        if (const HRESULT hr = Joliet()->AddData(WideFromUtf8(folder).c_str(), 1); hr != S_OK)
            return hr;
        EXPECT_EQ(master->SetActiveDiscRecorder(recorders[0].Get()), S_OK);
        UINT_PTR cookie = 0;
        if (sink) {
            EXPECT_EQ(master->ProgressAdvise(sink, &cookie), S_OK);
        }
        const HRESULT hr = master->RecordDisc(0, 1);
        if (sink) {
            EXPECT_EQ(master->ProgressUnadvise(cookie), S_OK);
        }
        return hr;
    }

    TempDir dir;
    CComPtr<IDiscMaster> master;
};

TEST_F(DiscMasterTest, WritesTheFolderAsAJolietDiscWithItsNamesAndBytes)
{
    const fs::path src = dir.Path() / "src";
    const std::string longName = std::string(66, 'n') + ".htm"; // 70 characters
    const std::string longest = std::string(99, 'k') + ".htm";  // 103, the most the format holds
    dir.Write("src/portfolio.html", "<html>front</html>");
    dir.Write("src/Data/with spaces in it.html", "spaces");
    dir.Write("src/Data/Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC.txt", "non-ASCII");
    dir.Write("src/Data/" + longName, "long");
    dir.Write("src/" + longest, "longest");
    std::string big(300000, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>((i * 131) % 251);
    dir.Write("src/Images/a.jpg", big);
    fs::create_directories(src / "Empty");

    struct sigaction before[3]{};
    const int signals[3] = {SIGINT, SIGTERM, SIGHUP};
    for (int i = 0; i < 3; ++i)
        sigaction(signals[i], nullptr, &before[i]);

    CComPtr<RecordingSink> sink(new RecordingSink);
    sink->Release();
    const std::string image = dir / "disc.iso";
    ASSERT_EQ(Burn(src.string() + "/", image, sink.Get()), S_OK);

    const std::string out = dir / "out";
    ASSERT_EQ(ExtractDiscImage(image, out), "");
    EXPECT_EQ(DiffFolders(src.string(), out), "");
    std::string info;
    RunCommand("xorriso -indev '" + image + "' -pvd_info 2>&1", &info);
    EXPECT_NE(info.find("Volume Id    : PORTFOLIO"), std::string::npos) << info;

    ASSERT_FALSE(sink->blocks.empty());
    const LONG total = static_cast<LONG>(fs::file_size(image) / 2048);
    EXPECT_EQ(sink->blocks.back(), std::make_pair(total, total)) << "progress ends on the whole disc";
    for (size_t i = 1; i < sink->blocks.size(); ++i)
        EXPECT_LE(sink->blocks[i - 1].first, sink->blocks[i].first) << "progress never goes back";
    EXPECT_EQ(sink->events, (std::vector<std::string>{"preparing", "complete 0"}));

    for (int i = 0; i < 3; ++i) {
        struct sigaction after{};
        sigaction(signals[i], nullptr, &after);
        EXPECT_EQ(after.sa_handler, before[i].sa_handler) << "signal " << signals[i] << " left to the program";
    }
}

TEST_F(DiscMasterTest, RefusesNamesTheDiscWouldChange)
{
    struct Case {
        std::string name;
        HRESULT expected;
    };
    const Case cases[] = {
        {std::string(99, 'k') + ".htm", S_OK},
        {std::string(100, 'k') + ".htm", IMAPI_E_BADJOLIETNAME}, // would be cut
        {"a:b.html", IMAPI_E_BADJOLIETNAME},
        {"what?.html", IMAPI_E_BADJOLIETNAME},
        {"semi;colon", IMAPI_E_BADJOLIETNAME},
        {"back\\slash", IMAPI_E_BADJOLIETNAME},
        {"tab\tname", IMAPI_E_BADJOLIETNAME},
        {"latin1 \xE9t\xE9", IMAPI_E_BADJOLIETNAME}, // not UTF-8
        {"emoji \xF0\x9F\x8E\xA8.png", S_OK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir folder;
        folder.Write("sub/" + c.name, "x");
        CComPtr<IDiscMaster> fresh;
        ASSERT_EQ(CoCreateInstance(CLSID_MSDiscMasterObj, nullptr, CLSCTX_ALL, IID_IDiscMaster,
                      reinterpret_cast<void**>(&fresh)),
            S_OK);
        ASSERT_EQ(fresh->Open(), S_OK);
        CComPtr<IJolietDiscMaster> joliet;
        ASSERT_EQ(fresh->SetActiveDiscMasterFormat(IID_IJolietDiscMaster, reinterpret_cast<void**>(&joliet)), S_OK);
        EXPECT_EQ(joliet->AddData(WideFromUtf8(folder.Path().string()).c_str(), 1), c.expected);
    }
}

TEST_F(DiscMasterTest, TellsAFolderThatCannotBeReadFromItsContents)
{
    dir.Write("file.txt", "not a folder");
    auto joliet = Joliet();
    EXPECT_EQ(joliet->AddData(WideFromUtf8(dir / "missing").c_str(), 1), STG_E_PATHNOTFOUND);
    EXPECT_EQ(joliet->AddData(WideFromUtf8(dir / "file.txt").c_str(), 1), STG_E_PATHNOTFOUND);
    EXPECT_EQ(joliet->AddData(u"", 1), STG_E_PATHNOTFOUND);
    fs::create_directories(dir.Path() / "loop");
    fs::create_directory_symlink("..", dir.Path() / "loop" / "up");
    EXPECT_EQ(joliet->AddData(WideFromUtf8(dir / "loop").c_str(), 1), E_INVALIDARG) << "a link loop ends";
}

TEST_F(DiscMasterTest, StagesSeveralFoldersAndReplacesOnlyWhenAsked)
{
    dir.Write("one/same.txt", "first");
    dir.Write("one/Data/a.txt", "a");
    dir.Write("two/same.txt", "second");
    dir.Write("two/Data/b.txt", "b");
    auto joliet = Joliet();
    ASSERT_EQ(joliet->AddData(WideFromUtf8(dir / "one").c_str(), 0), S_OK);
    EXPECT_EQ(joliet->AddData(WideFromUtf8(dir / "two").c_str(), 0), IMAPI_E_FILEEXISTS);
    ASSERT_EQ(joliet->AddData(WideFromUtf8(dir / "two").c_str(), 1), S_OK);

    CComPtr<IJolietDiscMaster> again;
    ASSERT_EQ(master->SetActiveDiscMasterFormat(IID_IJolietDiscMaster, reinterpret_cast<void**>(&again)), S_OK);
    EXPECT_EQ(again.Get(), joliet.Get()) << "asking for the format again keeps what is staged";

    AddPseudoDrive(dir / "disc.iso");
    ASSERT_EQ(master->SetActiveDiscRecorder(Recorders().at(0).Get()), S_OK);
    ASSERT_EQ(master->RecordDisc(0, 0), S_OK);
    ASSERT_EQ(ExtractDiscImage(dir / "disc.iso", dir / "out"), "");
    EXPECT_EQ(ReadFileBytes(dir / "out/same.txt"), "second");
    EXPECT_EQ(ReadFileBytes(dir / "out/Data/a.txt"), "a") << "folders of both merge";
    EXPECT_EQ(ReadFileBytes(dir / "out/Data/b.txt"), "b");
}

TEST_F(DiscMasterTest, ABurnOntoAnOldImageLeavesNothingOfIt)
{
    const std::string image = dir / "disc.iso";
    dir.Write("big/big.bin", std::string(2 << 20, 'b'));
    ASSERT_EQ(Burn(dir / "big", image), S_OK);
    const auto bigSize = fs::file_size(image);
    master->Close();
    RemovePseudoDrives();

    ASSERT_EQ(master->Open(), S_OK) << "a closed master opens again";
    dir.Write("small/small.txt", "small");
    ASSERT_EQ(Burn(dir / "small", image), S_OK);
    EXPECT_LT(fs::file_size(image), bigSize / 4);
    ASSERT_EQ(ExtractDiscImage(image, dir / "out"), "");
    EXPECT_EQ(DiffFolders(dir / "small", dir / "out"), "") << "only the new folder, nothing staged before Close";
}

TEST_F(DiscMasterTest, ListsImageDrivesFirstAndHoldsADriveForOneUser)
{
    AddPseudoDrive(dir / "a.iso");
    AddPseudoDrive(dir / "sub/../b.iso");
    setenv("VELMORA_BURN_DRIVES", (dir / "c.iso:" + dir / "d.iso").c_str(), 1);
    auto recorders = Recorders();
    unsetenv("VELMORA_BURN_DRIVES");
    ASSERT_GE(recorders.size(), 4u);
    EXPECT_EQ(PathOf(recorders[0].Get()), "stdio:" + dir / "a.iso");
    EXPECT_EQ(PathOf(recorders[1].Get()), "stdio:" + dir / "b.iso");
    EXPECT_EQ(PathOf(recorders[2].Get()), "stdio:" + dir / "c.iso");
    EXPECT_EQ(PathOf(recorders[3].Get()), "stdio:" + dir / "d.iso");
    for (size_t i = 4; i < recorders.size(); ++i)
        EXPECT_EQ(PathOf(recorders[i].Get()).rfind("stdio:", 0), std::string::npos) << "only real drives follow";

    CComPtr<IEnumDiscRecorders> list;
    ASSERT_EQ(master->EnumDiscRecorders(&list), S_OK);
    IDiscRecorder* batch[32] = {};
    ULONG fetched = 0;
    EXPECT_EQ(list->Next(32, batch, &fetched), S_FALSE) << "fewer than asked";
    const ULONG first = fetched;
    for (ULONG i = 0; i < fetched; ++i)
        batch[i]->Release();
    EXPECT_EQ(list->Next(32, batch, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u) << "used up until Reset";
    ASSERT_EQ(list->Reset(), S_OK);
    EXPECT_EQ(list->Next(32, batch, &fetched), S_FALSE);
    EXPECT_EQ(fetched, first);
    for (ULONG i = 0; i < fetched; ++i)
        batch[i]->Release();

    // An image file always holds a blank CD.
    IDiscRecorder* a = recorders[0].Get();
    LONG type = -1, flags = -1;
    EXPECT_EQ(a->QueryMediaType(&type, &flags), IMAPI_E_NOTOPENED);
    ASSERT_EQ(a->OpenExclusive(), S_OK);
    ASSERT_EQ(a->QueryMediaType(&type, &flags), S_OK);
    EXPECT_EQ(type, MEDIA_CD_ROM_XA);
    EXPECT_EQ(flags, MEDIA_BLANK | MEDIA_RW | MEDIA_WRITABLE);
    LONG recorderType = 0;
    ASSERT_EQ(a->GetRecorderType(&recorderType), S_OK);
    EXPECT_EQ(recorderType, RECORDER_CDRW);

    // The same drive listed again is a second user of it.
    auto again = Recorders();
    EXPECT_EQ(again[0]->OpenExclusive(), IMAPI_E_DEVICE_NOTACCESSIBLE);
    ASSERT_EQ(master->SetActiveDiscRecorder(again[0].Get()), S_OK);
    dir.Write("f/x.txt", "x");
    ASSERT_EQ(Joliet()->AddData(WideFromUtf8(dir / "f").c_str(), 1), S_OK);
    EXPECT_EQ(master->RecordDisc(0, 0), IMAPI_E_DEVICE_NOTACCESSIBLE) << "no second writer on one image";
    ASSERT_EQ(a->Close(), S_OK);
    EXPECT_EQ(master->RecordDisc(0, 0), S_OK);
    EXPECT_EQ(again[0]->OpenExclusive(), S_OK) << "free again after the burn";
    again[0]->Close();
}

TEST_F(DiscMasterTest, AnImageInAMissingFolderIsNoDrive)
{
    AddPseudoDrive(dir / "no/such/folder/disc.iso");
    auto recorders = Recorders();
    ASSERT_FALSE(recorders.empty());
    EXPECT_EQ(recorders[0]->OpenExclusive(), IMAPI_E_DEVICE_NOTPRESENT);
}

TEST_F(DiscMasterTest, AnswersCallsOutOfOrderWithTheirCodes)
{
    EXPECT_EQ(master->Open(), IMAPI_E_ALREADYOPEN);
    EXPECT_EQ(master->RecordDisc(0, 0), IMAPI_E_NOACTIVEFORMAT);
    Joliet();
    EXPECT_EQ(master->RecordDisc(0, 0), IMAPI_E_NOACTIVERECORDER);
    void* format = nullptr;
    EXPECT_EQ(master->SetActiveDiscMasterFormat(IID_IDiscMaster, &format), E_NOINTERFACE);
    EXPECT_EQ(master->ProgressUnadvise(12345), E_INVALIDARG);

    // A recorder that is not the component's own.
    class Foreign final : public IDiscRecorder, public RefCounted<Foreign> {
    public:
        HRESULT QueryInterface(REFIID iid, void** object) override
        {
            return QueryInterfaceImpl<IDiscRecorder>(iid, object, {IID_IUnknown, IID_IDiscRecorder});
        }
        ULONG AddRef() override { return AddRefImpl(); }
        ULONG Release() override { return ReleaseImpl(); }
        HRESULT GetRecorderType(LONG*) override { return E_NOTIMPL; }
        HRESULT GetPath(BSTR*) override { return E_NOTIMPL; }
        HRESULT OpenExclusive() override { return E_NOTIMPL; }
        HRESULT QueryMediaType(LONG*, LONG*) override { return E_NOTIMPL; }
        HRESULT QueryMediaInfo(BYTE*, BYTE*, ULONG*, ULONG*, ULONG*) override { return E_NOTIMPL; }
        HRESULT Close() override { return E_NOTIMPL; }
    };
    CComPtr<Foreign> foreign(new Foreign);
    foreign->Release();
    EXPECT_EQ(master->SetActiveDiscRecorder(foreign.Get()), E_INVALIDARG);

    ASSERT_EQ(master->Close(), S_OK);
    IEnumDiscRecorders* list = nullptr;
    EXPECT_EQ(master->EnumDiscRecorders(&list), IMAPI_E_NOTOPENED);
    EXPECT_EQ(master->SetActiveDiscMasterFormat(IID_IJolietDiscMaster, &format), IMAPI_E_NOTOPENED);
    EXPECT_EQ(master->RecordDisc(0, 0), IMAPI_E_NOTOPENED);
}

} // namespace

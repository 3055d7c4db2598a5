#pragma once
// One run of the directory reader over arbitrary bytes, shared by the fuzz
// target and the test that replays the inputs it once crashed on. Any
// failure must arrive as an exception of the class library's family; a
// directory that loads must survive being written and loaded again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/rtl/Exception.h"
#include "platform/rtl/MemoryStream.h"
#include "zip/TZADirManager.h"

class TZAFuzzOwner : public TZADirOwner {
public:
    TZAOptions& GetOptions() override { return options; }
    TZASpanningMode GetSpanningMode() const override { return spanningMode; }
    TZASpanningOptions& GetSpanningOptions() override { return spanning; }
    TZAVolumeNumberInfo& GetVolumeInfo() override { return volume; }
    bool UsesStandardSignatures() const override { return standard; }
    bool IsTolerant() const override { return tolerant; }
    std::u16string GetSFXStub() const override { return stub; }

    TZAOptions options;
    TZASpanningOptions spanning;
    TZAVolumeNumberInfo volume;
    bool standard = true;
    bool tolerant = false;
    TZASpanningMode spanningMode = smNone;
    std::u16string stub;
};

inline void RunZipDirectoryHarness(const uint8_t* data, size_t size)
{
    if (size == 0)
        return;
    // The first byte picks the archiver's switches, the rest is the archive.
    TZAFuzzOwner owner;
    owner.tolerant = data[0] & 1;
    owner.standard = !(data[0] & 2);
    owner.options.OEMFileNames = !(data[0] & 4);
    TMemoryStream stream;
    stream.WriteBuffer(data + 1, int64_t(size - 1));
    stream.SetPosition(0);

    TZADirManager manager(&stream, &owner, false);
    try {
        manager.LoadCentralDirectory();
    } catch (const Exception&) {
        return;
    }

    // What was loaded from a single-file archive is written at the end of a
    // copy and must load again with the same items. (Items of a volume set
    // lie on other volumes; a single file cannot hold them.)
    if (manager.EndRecord.ThisDisk != 0)
        return;
    TMemoryStream copy;
    stream.SetPosition(0);
    copy.CopyFrom(stream, 0);
    TZADirManager writer(&copy, &owner, false);
    writer.Items.Assign(manager.Items);
    writer.Comment = manager.Comment;
    try {
        writer.SaveCentralDirectory(nullptr, true);
    } catch (const Exception&) {
        return;  // an item that cannot be written is refused before anything changes
    }
    TZAFuzzOwner again = owner;
    again.tolerant = true;
    TZADirManager reader(&copy, &again, false);
    reader.LoadCentralDirectory();
    if (reader.Items.Count() != manager.Items.Count() || reader.Comment != manager.Comment)
        std::abort();
}

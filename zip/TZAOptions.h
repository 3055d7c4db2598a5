#pragma once
#include <cstdint>

enum TZAStorePathMode : uint8_t { spNoPath, spRelativePath, spFullPath, spFullPathWithDrive };
enum TZAFileShareMode : uint8_t { smShareCompat, smShareExclusive, smShareDenyWrite, smShareDenyRead, smShareDenyNone };
enum TZAOverwriteMode : uint8_t { omPrompt, omAlways, omNever, omIfNewer, omIfOlder };

// How the archiver stores paths, treats existing files and names items.
class TZAOptions {
public:
    TZAStorePathMode StorePath = spRelativePath;
    bool Recurse = true;
    TZAFileShareMode ShareMode = smShareDenyNone;
    TZAOverwriteMode OverwriteMode = omAlways;
    bool CreateDirs = true;
    bool ReplaceReadOnly = true;
    bool SetAttributes = true;
    int32_t SearchAttr = 10431;
    bool FlushBuffers = true;
    bool OEMFileNames = true;

    // Copies every setting except ShareMode, which belongs to the archive
    // that is open rather than to the way items are handled.
    void Assign(const TZAOptions& other)
    {
        StorePath = other.StorePath;
        Recurse = other.Recurse;
        OverwriteMode = other.OverwriteMode;
        CreateDirs = other.CreateDirs;
        ReplaceReadOnly = other.ReplaceReadOnly;
        SetAttributes = other.SetAttributes;
        SearchAttr = other.SearchAttr;
        FlushBuffers = other.FlushBuffers;
        OEMFileNames = other.OEMFileNames;
    }
};

#pragma once
// Shared by the image add-on tests: the module loaded as a foreign program
// loads it, the image files it reads, and a PDF document that records what
// it is handed.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QImage>
#include <string>
#include <vector>

#include "imgaddon/QuorvexImgAddon.h"
#include "platform/com/ComRuntime.h"
#include "platform/gdiplus/ScreenBitmap.h"
#include "tests/support/TempDir.h"

// The add-on module's exports, from the module as built.
struct ImgAddonModule {
    DllGetClassObjectFn getClassObject = nullptr;
    DllCanUnloadNowFn canUnloadNow = nullptr;

    static const ImgAddonModule& Get()
    {
        static const ImgAddonModule module = [] {
            ImgAddonModule m;
            void* handle = dlopen(IMGADDON_MODULE, RTLD_NOW | RTLD_LOCAL);
            if (handle) {
                m.getClassObject = reinterpret_cast<DllGetClassObjectFn>(dlsym(handle, "DllGetClassObject"));
                m.canUnloadNow = reinterpret_cast<DllCanUnloadNowFn>(dlsym(handle, "DllCanUnloadNow"));
            }
            return m;
        }();
        return module;
    }

    // A new ImageLoader through the module's class factory.
    static CComPtr<IImageLoader> NewLoader()
    {
        CComPtr<IClassFactory> factory;
        CComPtr<IImageLoader> loader;
        const ImgAddonModule& m = Get();
        EXPECT_NE(m.getClassObject, nullptr) << dlerror();
        if (!m.getClassObject)
            return loader;
        EXPECT_EQ(m.getClassObject(CLSID_ImageLoader, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
        if (factory) {
            EXPECT_EQ(factory->CreateInstance(nullptr, IID_IImageLoader, reinterpret_cast<void**>(&loader)), S_OK);
        }
        return loader;
    }
};

// The image files, written once per test program (see tests/support/make_image_fixtures.py).
class Fixtures {
public:
    static const Fixtures& Get()
    {
        static const Fixtures fixtures;
        return fixtures;
    }
    std::string Path(const std::string& name) const { return dir_ / name; }

private:
    Fixtures()
    {
        std::string out;
        const int status = RunCommand(std::string("/usr/bin/python3 ") + FIXTURE_SCRIPT + " " + dir_.Path().string(), &out);
        EXPECT_EQ(status, 0) << out;
    }
    TempDir dir_;
};

// A document that keeps a copy of every bitmap it is given; it is not
// deleted when its count drops to zero, so tests can look at it afterwards.
class RecordingDocument final : public IPDFDocument {
public:
    struct Added {
        QImage image;
        int32_t compression;
        int32_t indexOnEntry;
    };
    std::vector<Added> added;
    // A failure to answer instead of adding.
    HRESULT failWith = S_OK;
    ULONG refs = 1;

    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IPDFDocument) {
            *object = static_cast<IPDFDocument*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    HRESULT GetTypeInfoCount(uint32_t* count) override { return *count = 0, S_OK; }
    HRESULT GetTypeInfo(uint32_t, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, OLECHAR**, uint32_t, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    HRESULT Invoke(DISPID, REFIID, LCID, uint16_t, DISPPARAMS*, VARIANT*, EXCEPINFO*, uint32_t*) override
    {
        return DISP_E_MEMBERNOTFOUND;
    }

    HRESULT AddImageFromHBitmap(uint32_t bitmap, int32_t compression, int32_t* index) override
    {
        const int32_t onEntry = *index;
        // The add-on deletes the bitmap when this returns: keep a deep copy.
        QImage copy = GetScreenBitmap(bitmap).copy();
        if (copy.isNull())
            return E_INVALIDARG;
        if (FAILED(failWith))
            return failWith;
        added.push_back({copy, compression, onEntry});
        *index = static_cast<int32_t>(added.size()) - 1;
        return S_OK;
    }

#define VELMORA_UNUSED(decl) \
    HRESULT decl override { return E_NOTIMPL; }
    VELMORA_UNUSED(BeginDocument())
    VELMORA_UNUSED(EndDocument())
    VELMORA_UNUSED(GetCurrentPage(IPDFPage**))
    VELMORA_UNUSED(GetPageHeight(int32_t*))
    VELMORA_UNUSED(GetPageWidth(int32_t*))
    VELMORA_UNUSED(SetOutputFile(BSTR))
    VELMORA_UNUSED(GetDocumentInfo(IPDFDocumentInfo**))
    VELMORA_UNUSED(SetCompression(int32_t))
    VELMORA_UNUSED(AddPage())
    VELMORA_UNUSED(AttachFile(BSTR, BSTR))
    VELMORA_UNUSED(SetDocumentOption1(int32_t)) VELMORA_UNUSED(SetDocumentOption2(int32_t))
    VELMORA_UNUSED(SetDocumentOption3(int32_t)) VELMORA_UNUSED(SetDocumentOption4(int32_t))
    VELMORA_UNUSED(SetDocumentOption5(int32_t)) VELMORA_UNUSED(SetDocumentOption6(int32_t))
    VELMORA_UNUSED(SetDocumentOption7(int32_t)) VELMORA_UNUSED(SetDocumentOption8(int32_t))
    VELMORA_UNUSED(SetDocumentOption9(int32_t)) VELMORA_UNUSED(SetDocumentOption10(int32_t))
    VELMORA_UNUSED(SetDocumentOption11(int32_t))
    VELMORA_UNUSED(Reserved28()) VELMORA_UNUSED(Reserved29()) VELMORA_UNUSED(Reserved30())
    VELMORA_UNUSED(Reserved31()) VELMORA_UNUSED(Reserved32()) VELMORA_UNUSED(Reserved33())
    VELMORA_UNUSED(Reserved34()) VELMORA_UNUSED(Reserved35()) VELMORA_UNUSED(Reserved36())
    VELMORA_UNUSED(Reserved37()) VELMORA_UNUSED(Reserved38()) VELMORA_UNUSED(Reserved39())
    VELMORA_UNUSED(Reserved40()) VELMORA_UNUSED(Reserved41()) VELMORA_UNUSED(Reserved42())
    VELMORA_UNUSED(Reserved43()) VELMORA_UNUSED(Reserved44()) VELMORA_UNUSED(Reserved45())
    VELMORA_UNUSED(Reserved46()) VELMORA_UNUSED(Reserved47()) VELMORA_UNUSED(Reserved48())
    VELMORA_UNUSED(Reserved49()) VELMORA_UNUSED(Reserved50()) VELMORA_UNUSED(Reserved51())
    VELMORA_UNUSED(Reserved52()) VELMORA_UNUSED(Reserved53()) VELMORA_UNUSED(Reserved54())
    VELMORA_UNUSED(Reserved55()) VELMORA_UNUSED(Reserved56()) VELMORA_UNUSED(Reserved57())
    VELMORA_UNUSED(Reserved58()) VELMORA_UNUSED(Reserved59()) VELMORA_UNUSED(Reserved60())
    VELMORA_UNUSED(Reserved61()) VELMORA_UNUSED(Reserved62()) VELMORA_UNUSED(Reserved63())
    VELMORA_UNUSED(Reserved64()) VELMORA_UNUSED(Reserved65()) VELMORA_UNUSED(Reserved66())
#undef VELMORA_UNUSED
};

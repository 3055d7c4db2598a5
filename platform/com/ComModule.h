#pragma once
// Building blocks for server modules: the module's lock count and a class
// factory for classes with a default constructor.
#include <atomic>
#include <initializer_list>
#include <new>

#include "platform/com/Unknown.h"

// Counts live objects and server locks of the module it is linked into.
class ComModule {
public:
    static void Lock() { count_.fetch_add(1); }
    static void Unlock() { count_.fetch_sub(1); }
    static long LockCount() { return count_.load(); }
    static HRESULT CanUnloadNow() { return count_.load() == 0 ? S_OK : S_FALSE; }

private:
    // One count per module: hidden, so neither the dynamic linker nor the
    // compiler's unique-symbol merging shares it between the modules loaded
    // into one process, and one module's live objects never keep another
    // from unloading.
    __attribute__((visibility("hidden"))) static inline std::atomic<long> count_{0};
};

// Thread-safe reference count shared by objects of this code base; the object
// deletes itself when the last reference goes.
template <class Derived>
class RefCounted {
public:
    ULONG AddRefImpl() { return ++refs_; }
    ULONG ReleaseImpl()
    {
        const ULONG left = --refs_;
        if (left == 0)
            delete static_cast<Derived*>(this);
        return left;
    }

    // QueryInterface for an object that answers the listed interfaces with
    // its one Interface vtable.
    template <class Interface>
    HRESULT QueryInterfaceImpl(REFIID iid, void** object, std::initializer_list<IID> answered)
    {
        if (!object)
            return E_POINTER;
        for (const IID& known : answered)
            if (iid == known) {
                auto* self = static_cast<Derived*>(this);
                *object = static_cast<Interface*>(self);
                self->AddRef();
                return S_OK;
            }
        *object = nullptr;
        return E_NOINTERFACE;
    }

protected:
    RefCounted() { ComModule::Lock(); }
    ~RefCounted() { ComModule::Unlock(); }

private:
    std::atomic<ULONG> refs_{1};
};

// Creates T with new; T starts with one reference, which the factory hands
// over through QueryInterface and drops. Aggregation is not supported.
template <class T>
class TClassFactory final : public IClassFactory, public RefCounted<TClassFactory<T>> {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        return this->template QueryInterfaceImpl<IClassFactory>(iid, object, {IID_IUnknown, IID_IClassFactory});
    }
    ULONG AddRef() override { return this->AddRefImpl(); }
    ULONG Release() override { return this->ReleaseImpl(); }

    HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        T* instance = new (std::nothrow) T();
        if (!instance)
            return E_OUTOFMEMORY;
        const HRESULT hr = instance->QueryInterface(iid, object);
        instance->Release();
        return hr;
    }
    HRESULT LockServer(int lock) override
    {
        if (lock)
            ComModule::Lock();
        else
            ComModule::Unlock();
        return S_OK;
    }
};

// For a module's DllGetClassObject: a new factory for T when clsid matches.
template <class T>
HRESULT GetClassObjectFor(REFCLSID wanted, REFCLSID clsid, REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (!(wanted == clsid))
        return CLASS_E_CLASSNOTAVAILABLE;
    auto* factory = new (std::nothrow) TClassFactory<T>();
    if (!factory)
        return E_OUTOFMEMORY;
    const HRESULT hr = factory->QueryInterface(iid, object);
    factory->Release();
    return hr;
}

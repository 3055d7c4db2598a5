#pragma once
// Building blocks for server modules: the module's lock count, reference
// counting, aggregation and a class factory.
#include <atomic>
#include <initializer_list>
#include <new>
#include <type_traits>

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
// deletes itself when the last reference goes. Objects count in their
// module's lock count for their whole life; class factories do not
// (CountsInModule false): holding a factory keeps no module loaded, only
// IClassFactory::LockServer does.
template <class Derived, bool CountsInModule = true>
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
    RefCounted()
    {
        if constexpr (CountsInModule)
            ComModule::Lock();
    }
    ~RefCounted()
    {
        if constexpr (CountsInModule)
            ComModule::Unlock();
    }

private:
    std::atomic<ULONG> refs_{1};
};

// Base of a class whose objects may be aggregated by an outer object. The
// object's interfaces hand their IUnknown methods to ControllingUnknown():
// the outer object's unknown when one was given at creation, so that every
// interface of the aggregate reports one identity and one reference count,
// and the object's own inner unknown otherwise. The inner unknown never
// delegates: the outer object keeps it to reach the inner object's
// interfaces and to release it.
//
// Derived has a constructor taking the outer unknown (null when not
// aggregated) and answers its own interfaces, never IUnknown, with
//   void* FindInterface(REFIID iid);
// returning the interface pointer without a reference, or null.
template <class Derived>
class ComAggregatable {
public:
    ComAggregatable(const ComAggregatable&) = delete;
    ComAggregatable& operator=(const ComAggregatable&) = delete;

    IUnknown* InnerUnknown() { return &inner_; }
    IUnknown* ControllingUnknown() const { return controlling_; }

protected:
    explicit ComAggregatable(IUnknown* outer) : controlling_(outer ? outer : &inner_) { ComModule::Lock(); }
    ~ComAggregatable() { ComModule::Unlock(); }

private:
    class Inner final : public IUnknown {
    public:
        explicit Inner(ComAggregatable* owner) : owner_(owner) {}
        HRESULT QueryInterface(REFIID iid, void** object) override
        {
            if (!object)
                return E_POINTER;
            if (iid == IID_IUnknown) {
                *object = static_cast<IUnknown*>(this);
                AddRef();
                return S_OK;
            }
            *object = static_cast<Derived*>(owner_)->FindInterface(iid);
            if (!*object)
                return E_NOINTERFACE;
            // An interface handed out belongs to the aggregate.
            owner_->controlling_->AddRef();
            return S_OK;
        }
        ULONG AddRef() override { return ++refs_; }
        ULONG Release() override
        {
            const ULONG left = --refs_;
            if (left == 0)
                delete static_cast<Derived*>(owner_);
            return left;
        }

    private:
        ComAggregatable* owner_;
        std::atomic<ULONG> refs_{1};
    };

    Inner inner_{this};
    IUnknown* controlling_;
};

template <class T>
inline constexpr bool kAggregatable = std::is_base_of_v<ComAggregatable<T>, T>;

// Creates T with new; T starts with one reference, which the factory hands
// over through QueryInterface and drops. A class derived from
// ComAggregatable may be created inside an outer object, which then must ask
// for IUnknown and receives the inner unknown; other classes refuse an outer
// object.
template <class T>
class TClassFactory final : public IClassFactory, public RefCounted<TClassFactory<T>, false> {
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
        if constexpr (kAggregatable<T>) {
            // The outer object could not release an inner object that it
            // only knows through one of its delegating interfaces.
            if (outer && !(iid == IID_IUnknown))
                return CLASS_E_NOAGGREGATION;
            T* instance = new (std::nothrow) T(outer);
            if (!instance)
                return E_OUTOFMEMORY;
            IUnknown* inner = instance->InnerUnknown();
            if (outer) {
                *object = inner;
                return S_OK;
            }
            const HRESULT hr = inner->QueryInterface(iid, object);
            inner->Release();
            return hr;
        } else {
            if (outer)
                return CLASS_E_NOAGGREGATION;
            T* instance = new (std::nothrow) T();
            if (!instance)
                return E_OUTOFMEMORY;
            const HRESULT hr = instance->QueryInterface(iid, object);
            instance->Release();
            return hr;
        }
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

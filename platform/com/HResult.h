#pragma once
// Result codes of component calls: negative means failure.
#include <cstdint>

using HRESULT = int32_t;
using ULONG = uint32_t;
using DWORD = uint32_t;
using LONG = int32_t;

inline constexpr HRESULT MakeHResult(uint32_t code) { return static_cast<HRESULT>(code); }

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = MakeHResult(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = MakeHResult(0x80004002u);
inline constexpr HRESULT E_POINTER = MakeHResult(0x80004003u);
inline constexpr HRESULT E_ABORT = MakeHResult(0x80004004u);
inline constexpr HRESULT E_FAIL = MakeHResult(0x80004005u);
inline constexpr HRESULT E_UNEXPECTED = MakeHResult(0x8000FFFFu);
inline constexpr HRESULT E_ACCESSDENIED = MakeHResult(0x80070005u);
inline constexpr HRESULT E_OUTOFMEMORY = MakeHResult(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = MakeHResult(0x80070057u);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = MakeHResult(0x80040110u);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MakeHResult(0x80040111u);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHResult(0x80040154u);
inline constexpr HRESULT REGDB_E_WRITEREGDB = MakeHResult(0x80040151u);
inline constexpr HRESULT CO_E_NOTINITIALIZED = MakeHResult(0x800401F0u);
inline constexpr HRESULT CO_E_CLASSSTRING = MakeHResult(0x800401F3u);
inline constexpr HRESULT CO_E_DLLNOTFOUND = MakeHResult(0x800401F8u);
inline constexpr HRESULT CO_E_ERRORINDLL = MakeHResult(0x800401F9u);
inline constexpr HRESULT STG_E_WRITEFAULT = MakeHResult(0x8003001Du);
inline constexpr HRESULT STG_E_READFAULT = MakeHResult(0x8003001Eu);
inline constexpr HRESULT STG_E_FILENOTFOUND = MakeHResult(0x80030002u);

inline constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
inline constexpr bool FAILED(HRESULT hr) { return hr < 0; }

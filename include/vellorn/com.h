// COM library services: initialisation and object creation by class
// identifier. Implemented by the runtime in src/runtime/dmusic, which serves
// the DirectMusic classes.
#pragma once

#include "vellorn/unknown.h"

// Server contexts for CoCreateInstance.
inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
inline constexpr DWORD CLSCTX_INPROC = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;

inline constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);
inline constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0u);

// Initialises COM for the thread: S_OK the first time, S_FALSE when it is
// already initialised. reserved must be null.
HRESULT CoInitialize(LPVOID reserved);

// Creates an object of class clsid and returns its interface iid through
// object (null on failure). COM must be initialised on the thread first.
// Aggregation (a non-null outer) is not supported.
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid,
                         LPVOID* object);

// The base of every COM-style interface: identity and reference counting.
#pragma once

#include "vellorn/guid.h"
#include "vellorn/result_codes.h"

// {00000000-0000-0000-C000-000000000046}
inline constexpr IID IID_IUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID riid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

  protected:
    // Objects are destroyed by their last Release, never through an
    // interface pointer.
    ~IUnknown() = default;
};

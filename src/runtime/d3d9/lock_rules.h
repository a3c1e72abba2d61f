// Whether a lock may be taken: one rule table for surfaces (texture levels,
// cube face levels and stand-alone surfaces), volumes and vertex and index
// buffers.
//
//   rule                                         surface  volume  buffer
//   flags outside the known lock flags             no       no      no
//   default pool, neither dynamic nor lockable     no       no      yes
//   already locked                                 no       no      yes (locks nest)
//   D3DLOCK_DISCARD                                dynamic  dynamic dynamic
//   D3DLOCK_NOOVERWRITE                            no       no      dynamic
//   D3DLOCK_READONLY with DISCARD or NOOVERWRITE   no       no      no
//   D3DLOCK_DISCARD with D3DLOCK_NOOVERWRITE       no       no      no
//
// "Lockable" is a stand-alone render target created lockable or an
// off-screen plain surface; every resource of the other pools can be locked.
#pragma once

#include "vellorn/d3d9.h"

enum class LockedKind { Surface, Volume, Buffer };

struct LockSubject {
    LockedKind kind;
    D3DPOOL pool;
    DWORD usage;
    bool lockable;  // a default-pool stand-alone surface made lockable
    bool locked;    // a lock is already held
};

// S_OK when a lock with flags is allowed on subject, else D3DERR_INVALIDCALL.
HRESULT CheckLock(const LockSubject& subject, DWORD flags);

#include "runtime/d3d9/lock_rules.h"

namespace {

constexpr DWORD kKnownFlags = D3DLOCK_READONLY | D3DLOCK_NOSYSLOCK | D3DLOCK_NOOVERWRITE |
                              D3DLOCK_DISCARD | D3DLOCK_DONOTWAIT | D3DLOCK_NO_DIRTY_UPDATE;

}  // namespace

HRESULT CheckLock(const LockSubject& subject, DWORD flags) {
    const bool buffer = subject.kind == LockedKind::Buffer;
    const bool dynamic = (subject.usage & D3DUSAGE_DYNAMIC) != 0;
    const bool readOnly = (flags & D3DLOCK_READONLY) != 0;
    const bool discard = (flags & D3DLOCK_DISCARD) != 0;
    const bool noOverwrite = (flags & D3DLOCK_NOOVERWRITE) != 0;
    const bool reachable = buffer || subject.pool != D3DPOOL_DEFAULT || dynamic || subject.lockable;
    if ((flags & ~kKnownFlags) != 0 || !reachable || (subject.locked && !buffer) ||
        (discard && !dynamic) || (noOverwrite && (!buffer || !dynamic)) ||
        (readOnly && (discard || noOverwrite)) || (discard && noOverwrite)) {
        return D3DERR_INVALIDCALL;
    }
    return S_OK;
}

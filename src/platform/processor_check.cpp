#include "platform/processor_check.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

#include "platform/direct3d_settings.h"

namespace {

constexpr unsigned kMmxBit = 1u << 23;

bool CpuReportsMmx() {
#if defined(__i386__) || defined(__x86_64__)
    unsigned eax = 0;
    unsigned ebx = 0;
    unsigned ecx = 0;
    unsigned edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) {
        return false;
    }
    const unsigned family = (eax >> 8) & 0xF;
    return family > 4 && (edx & kMmxBit) != 0;
#else
    return false;
#endif
}

}  // namespace

bool ProcessorHasMmx() {
    DWORD disabled = 0;
    if (ReadDirect3DSetting("DisableMMX", &disabled) && disabled != 0) {
        return false;
    }
    static const bool hasMmx = CpuReportsMmx();
    return hasMmx;
}

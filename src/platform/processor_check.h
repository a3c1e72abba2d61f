// Whether the processor offers the MMX instructions, for the code paths that
// choose between a vector and a plain implementation.
#pragma once

// False when the Direct3D setting "DisableMMX" is non-zero (read on every
// call, so a change takes effect at once). Otherwise the processor's own
// answer, asked once per process: on x86 a processor of family 5 or later
// reports MMX in bit 23 of EDX of CPUID function 1; a processor without
// CPUID, and any other architecture, counts as without.
bool ProcessorHasMmx();

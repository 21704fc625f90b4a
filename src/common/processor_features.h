#pragma once
// What the processor can run beyond the x86-64 baseline (SSE2), for the
// kernels that pick their widest vector code when first called. Asked once
// per kernel table, never per frame.

namespace qmd {

#if defined(__x86_64__)
bool ProcessorHasAvx2();
#endif

}  // namespace qmd

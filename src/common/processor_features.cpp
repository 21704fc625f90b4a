#include "common/processor_features.h"

namespace qmd {

#if defined(__x86_64__)

bool ProcessorHasAvx2()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

#endif

}  // namespace qmd

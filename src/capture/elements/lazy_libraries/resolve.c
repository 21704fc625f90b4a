// The real library behind a stand-in, loaded on the first call of any of its
// functions; each function's slot then points straight at the real one.
#include <dlfcn.h>
#include <pthread.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>

// Filled in by the first call of each function.
extern void* qmd_lazy_slots[];
// Each function's name, as its offset from this table.
extern const int qmd_lazy_names[];

static void* real_library;
static pthread_once_t real_library_once = PTHREAD_ONCE_INIT;

static void load_real_library(void)
{
    // By its path: asked by its soname, the loader would give the stand-in.
    real_library = dlopen(QMD_LAZY_REAL_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (!real_library) fprintf(stderr, "quisk-motion-detector: %s\n", dlerror());
}

void* qmd_lazy_resolve(size_t index)
{
    pthread_once(&real_library_once, load_real_library);
    const char* name = (const char*)qmd_lazy_names + qmd_lazy_names[index];
    void* function = real_library ? dlsym(real_library, name) : NULL;
    if (!function) {
        // The caller is inside a call that cannot be failed on its behalf.
        fprintf(stderr, "quisk-motion-detector: no %s in %s\n", name, QMD_LAZY_REAL_LIBRARY);
        abort();
    }
    __atomic_store_n(&qmd_lazy_slots[index], function, __ATOMIC_RELEASE);
    return function;
}

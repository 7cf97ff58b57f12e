#include "platform/script/Watchdog.h"

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#if defined(__SANITIZE_ADDRESS__)
#define QZ_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QZ_ASAN 1
#endif
#endif
#if QZ_ASAN
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace qz::script {

// The bytes the process's heap holds in use. Under AddressSanitizer its own
// allocator holds them, and large blocks it maps directly are not all in its
// count: the larger of that count and the resident memory is taken.
std::size_t heapInUse() {
#if QZ_ASAN
    std::size_t resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        unsigned long pages = 0, rss = 0;
        if (std::fscanf(f, "%lu %lu", &pages, &rss) == 2) resident = rss * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
        std::fclose(f);
    }
    return std::max(__sanitizer_get_current_allocated_bytes(), resident);
#else
    const struct mallinfo2 m = ::mallinfo2();
    return m.uordblks + m.hblkhd;
#endif
}

} // namespace qz::script

#include "FuzzEntries.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace qz::fuzz {

void Fail(const char* what) {
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
    std::fflush(stderr);
    std::abort();
}

std::string ScratchFile(std::string_view name, std::string_view bytes) {
    static const std::string folder = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/qzfuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) Fail("no scratch folder");
        return pattern;
    }();
    std::string path = folder + "/" + std::string(name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) Fail("scratch file not written");
    return path;
}

} // namespace qz::fuzz

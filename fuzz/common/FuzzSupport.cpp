#include "FuzzEntries.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace qz::fuzz {

void Fail(const char* what) {
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
    std::fflush(stderr);
    std::abort();
}

namespace {

// The process's scratch folder, removed with its content at exit.
struct ScratchFolder {
    std::string path;
    ScratchFolder() {
        const char* tmp = std::getenv("TMPDIR");
        path = std::string(tmp && *tmp ? tmp : "/tmp") + "/qzfuzz-XXXXXX";
        if (!mkdtemp(path.data())) Fail("no scratch folder");
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

} // namespace

std::string ScratchFile(std::string_view name, std::string_view bytes) {
    static const ScratchFolder scratch;
    const std::string& folder = scratch.path;
    std::string path = folder + "/" + std::string(name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) Fail("scratch file not written");
    return path;
}

} // namespace qz::fuzz

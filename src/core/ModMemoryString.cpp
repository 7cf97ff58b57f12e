#include "core/ModMemoryString.h"

#include "core/ModErrors.h"
#include "platform/system/SystemError.h"
#include "resources/MessageIds.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <sys/mman.h>
#include <vector>

namespace qz {
namespace {

[[noreturn]] void bufferFailure(std::int32_t id, int code) {
    AutomationError err = OwnError(id);
    err.SystemErrorCode = code;
    HandleError(err, "ModMemoryString", id == msg::CannotAllocateBuffer ? "QZAllocateBuffer" : "QZFreeBuffer",
                kErrLog | kErrRaise,
                "LastDllError: " + std::to_string(code) + " - " + GetApiErrorText(code));
    throw err;  // not reached: flag 2 raises
}

} // namespace

char* QZAllocateBuffer(std::size_t size) {
    void* p = ::mmap(nullptr, size ? size : 1, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) bufferFailure(msg::CannotAllocateBuffer, errno);
    return static_cast<char*>(p);
}

void QZFreeBuffer(char* base, std::size_t size) {
    if (!base) return;
    if (::munmap(base, size ? size : 1) != 0) bufferFailure(msg::CannotFreeBuffer, errno);
}

std::size_t QZInStr(std::size_t start, const char* base, std::size_t length, std::string_view pattern) {
    if (pattern.empty() || length < pattern.size() || start == 0 || start > length) return 0;
    std::string_view hay(base, length);
    std::size_t pos = hay.find(pattern, start - 1);
    return pos == std::string_view::npos ? 0 : pos + 1;
}

int QZGetChar(const char* base, std::size_t position) {
    return static_cast<unsigned char>(base[position - 1]);
}

std::string GetApiErrorText(int code) {
    std::string t = sys::errnoText(code);
    return t.empty() ? std::string("Unexpected Error (Cannot decode APPI error).") : t;
}

void QZReplace(std::string_view text, std::string& out, std::string_view find,
               std::string_view replacement) {
    Handled("ModMemoryString", "QZReplace", kErrLog | kErrRaise, [&] {
        if (find.empty()) {
            out.assign(text);
            return;
        }
        // Pass 1: the positions of every occurrence, left to right.
        std::vector<std::size_t> hits;
        for (std::size_t p = text.find(find); p != std::string_view::npos;
             p = text.find(find, p + find.size()))
            hits.push_back(p);
        if (hits.empty()) {
            out.assign(text);
            return;
        }
        std::size_t newLength = text.size() - hits.size() * find.size() + hits.size() * replacement.size();
        std::string result;
        try {
            result.resize(newLength);
        } catch (const std::bad_alloc&) {
            if (text.size() >= kLargeStringThreshold) bufferFailure(msg::CannotAllocateBuffer, ENOMEM);
            throw;
        }
        // Pass 2: copy the pieces between occurrences and the replacements.
        char* dst = result.data();
        std::size_t src = 0;
        for (std::size_t p : hits) {
            std::memcpy(dst, text.data() + src, p - src);
            dst += p - src;
            if (!replacement.empty()) std::memcpy(dst, replacement.data(), replacement.size());
            dst += replacement.size();
            src = p + find.size();
        }
        std::memcpy(dst, text.data() + src, text.size() - src);
        out.swap(result);
    });
}

MemoryHeadroom::MemoryHeadroom(std::size_t bytes) : block_(::operator new(bytes)) {}

MemoryHeadroom::~MemoryHeadroom() { ::operator delete(block_); }

} // namespace qz

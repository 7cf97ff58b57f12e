// Whole-file reading and writing. A file is replaced by writing a new file
// beside it and renaming that over it, so that a reader sees the old or the
// new contents and a failed write leaves the old file as it was.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>

namespace qz::sys {

// Reads a regular file whole into `out`. Returns 0 or the errno of the
// failure; what is not a regular file (a folder, a named pipe, a device) is
// refused with EISDIR or EINVAL rather than read or waited on.
int readWholeFile(const std::string& path, std::string& out);

// Whether a file may not be written by this user: no write permission for
// anyone (the read-only attribute), or none for this user. False when the
// file does not exist.
bool fileIsReadOnly(const std::string& path);

// Moves a file aside to a new name beside it, "<path>.~qz<8 hex digits>.tmp"
// (kAsideSuffixSize characters after the path), never over an existing file:
// the name is chosen at random and the move fails rather than replace.
// Returns 0 or errno; `aside` receives the new name.
inline constexpr std::size_t kAsideSuffixSize = 16;
int moveAside(const std::string& path, std::string& aside);

// Writes every byte to the descriptor, resuming after signals: 0 or errno.
int writeAll(int fd, std::string_view data) noexcept;

// Replaces the file at `path` whole with what `fill` writes to the open
// temporary file (fill returns 0 or an errno). A symbolic link is written
// through to the file it names. A read-only file (fileIsReadOnly) is not
// replaced: EACCES. With `mode` < 0 an existing file keeps its
// permission bits and a new one gets 0666 less the umask; otherwise the file
// gets `mode` less the umask. Both the file and the rename are flushed to
// disk before success is reported. Returns 0 or the errno of the failure
// (EISDIR or EINVAL when the path names something other than a file).
int replaceFileWith(const std::string& path, const std::function<int(int fd)>& fill, int mode = -1);

// Whether a process of this number runs now; one that has ended but that its
// parent has not collected yet does not.
bool processRunning(long pid);
// When a running process started, in seconds since the epoch (0: unknown).
std::time_t processStartTime(long pid);

// A file written in steps that replaces `path` only when commit() succeeds:
// until then the bytes go to a hidden temporary file beside it, and discard()
// (or the destructor) removes that file, leaving whatever was at `path`
// untouched. Permissions, read-only files and symbolic links as for
// replaceFileWith. The temporary file is named
// ".<name>.qzpart-<process id>-<process start>-<n>.tmp"; such files of this
// user that a process no longer running left in the folder (killed,
// crashed) are removed the first time this process writes there.
class ReplacementFile {
public:
    ReplacementFile() = default;
    ~ReplacementFile() { discard(); }
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // Creates the temporary file: 0 or errno.
    int open(const std::string& path, int mode = -1);
    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    // Appends data: 0 or errno. The disk starts writing what was appended
    // every few megabytes, while the writer goes on, so that commit's flush
    // of a large file has little left to wait for.
    int write(std::string_view data) noexcept;
    // Flushes and renames the temporary file over the target: 0 or errno;
    // on failure the temporary file is removed.
    int commit();
    void discard() noexcept;

private:
    int fd_ = -1;
    int slot_ = -1;  // its place among the files removeOpenReplacements knows
    std::string tmp_, target_, dir_;
    bool keepMode_ = false;
    unsigned mode_ = 0;
    std::uint64_t written_ = 0, flushedUpTo_ = 0; // bytes appended; bytes handed to the disk
};
inline int replaceFile(const std::string& path, std::string_view data, int mode = -1) {
    return replaceFileWith(path, [data](int fd) { return writeAll(fd, data); }, mode);
}

// Removes the temporary files of every ReplacementFile still open, for a
// program stopped by a signal: safe to call from a signal handler.
void removeOpenReplacements() noexcept;

// Files that live only as long as the process that made them. holdFile()
// marks a file as this process's with an empty hidden file beside it, named
// as a ReplacementFile's temporary file is but ending "-held.tmp"
// (".<name>.qzpart-<process id>-<process start>-held.tmp"); releaseFile()
// removes the file and its mark. holdFile: 0 or errno.
int holdFile(const std::string& path);
void releaseFile(const std::string& path) noexcept;
// Removes from a folder what writers and holders no longer running left:
// their temporary files, and the marks of held files that are gone. Only
// this user's regular files named exactly as ours are removed. The file a
// mark names is never removed unless `ownHeldFile` says the name is one of
// the caller's own temporary files (and it is this user's regular file);
// a mark whose file stays stays with it. Writing a ReplacementFile or
// holding a file in a folder does it first, once per folder and process.
void removeLeftovers(const std::string& folder,
                     const std::function<bool(std::string_view name)>& ownHeldFile = {});

} // namespace qz::sys

// Byte access to one file: open, seek, read a range, take the size, read the
// whole file, close. Byte strings are std::string holding the bytes as read.
#pragma once

#include <cstdint>
#include <string>

namespace qz {

class RandomFile {
public:
    RandomFile() = default;
    ~RandomFile();
    RandomFile(const RandomFile&) = delete;
    RandomFile& operator=(const RandomFile&) = delete;

    // The size of the open file in bytes. 3108 when no file is open.
    std::int64_t FileSize();
    // True when the file exists and can be opened for reading.
    bool IsFileExist(const std::string& fileName);
    // Opens a file: for reading (a missing file fails and is not created;
    // others may read and write it meanwhile) or, with `write`, for reading
    // and writing (created when missing; no other RandomFile may open it
    // meanwhile). 3100 when a file is open already or the open fails.
    void OpenInputFile(const std::string& fileName, bool write);
    // 3108 when no file is open.
    void CloseFile();
    // Up to `count` bytes from the current position; fewer at the end of the
    // file. 3108 when no file is open.
    std::string ReadBytes(std::int64_t count);
    // Moves to high * 2^32 + low (low taken as unsigned). 3108 when no file is open.
    void SeekAbsolute(std::int32_t high, std::int32_t low);
    // The whole file, wherever the position was; empty for an empty file.
    std::string ReadAllBytes();

    const std::string& FileName() const noexcept { return fileName_; }
    bool IsOpen() const noexcept { return fd_ >= 0; }

private:
    void requireOpen();
    int fd_ = -1;
    std::string fileName_;
};

} // namespace qz

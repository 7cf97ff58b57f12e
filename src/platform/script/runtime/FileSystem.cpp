#include "FileSystem.h"

#include "Builtins.h"

#include "platform/automation/Collection.h"
#include "platform/automation/DateTime.h"
#include "platform/automation/SimpleDispatch.h"
#include "platform/automation/Text.h"
#include "platform/system/CodePage.h"
#include "platform/system/Folders.h"
#include "platform/system/SystemError.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace qz::script {
namespace {

// ---------------------------------------------------------------------------
// Paths

std::string pathArg(const Variant& v) {
    std::u16string s = stringArg(valueOf(v));
    for (auto& c : s)
        if (c == u'\\') c = u'/';
    return toUtf8(s);
}

Variant text(std::string_view utf8) { return Variant(fromUtf8(utf8)); }

bool isSep(char16_t c) { return c == u'/' || c == u'\\'; }

// The last component of a path, ignoring trailing separators.
std::u16string lastComponent(std::u16string_view p) {
    while (p.size() > 1 && isSep(p.back())) p.remove_suffix(1);
    std::size_t i = p.size();
    while (i > 0 && !isSep(p[i - 1])) --i;
    std::u16string_view name = p.substr(i);
    if (name.size() == 2 && name[1] == u':') return {}; // a bare drive
    return std::u16string(name);
}

std::u16string parentOf(std::u16string_view p) {
    while (p.size() > 1 && isSep(p.back())) p.remove_suffix(1);
    std::size_t i = p.size();
    while (i > 0 && !isSep(p[i - 1])) --i;
    if (i == 0 || i == p.size()) return {}; // no folder part, or the root itself
    std::size_t end = i - 1;
    while (end > 0 && isSep(p[end - 1])) --end;
    if (end == 0) return std::u16string(p.substr(0, 1)); // the root
    if (end == 2 && p[1] == u':') return std::u16string(p.substr(0, 3)); // a drive's root
    return std::u16string(p.substr(0, end));
}

[[noreturn]] void raiseErrno(int e) { throwRuntimeError(sys::runtimeErrorOf(e)); }

// A failed open: a missing folder on the way is "Path not found".
[[noreturn]] void raiseOpenError(int e, const std::string& path) {
    if (e == ENOENT) {
        fs::path parent = fs::path(path).parent_path();
        std::error_code ec;
        if (!parent.empty() && !fs::is_directory(parent, ec)) throwRuntimeError(err::PathNotFound);
        throwRuntimeError(err::FileNotFound);
    }
    raiseErrno(e);
}

// Opens a regular file and nothing else: a named pipe, a device or a folder
// is refused with 75, without waiting for the other end of a pipe (the open
// does not block) and before anything is written to it. `truncate` empties
// the file once it is known to be a regular one.
std::FILE* openRegularFile(const std::string& path, int flags, bool truncate, const char* mode) {
    const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (errno == ENXIO) throwRuntimeError(err::PathFileAccess);  // a pipe with no reader
        raiseOpenError(errno, path);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throwRuntimeError(err::PathFileAccess);
    }
    const int fl = ::fcntl(fd, F_GETFL);
    if (fl < 0 || ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK) != 0 || (truncate && ::ftruncate(fd, 0) != 0)) {
        const int e = errno;
        ::close(fd);
        raiseErrno(e);
    }
    std::FILE* f = ::fdopen(fd, mode);
    if (!f) {
        const int e = errno;
        ::close(fd);
        raiseErrno(e);
    }
    return f;
}

double fileTimeAsDate(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return 0;
    return localTimeAsDate(st.st_mtime);
}

Ref<Dispatch> makeFile(std::string path);
Ref<Dispatch> makeFolder(std::string path);

// ---------------------------------------------------------------------------
// TextStream

enum IoMode { kForReading = 1, kForWriting = 2, kForAppending = 8 };

class TextStream final : public SimpleDispatch<TextStream> {
public:
    static const MemberTable<TextStream>& members() {
        static const MemberTable<TextStream> t{
            {u"AtEndOfStream", kGet, 0, 0, &TextStream::atEndOfStream},
            {u"AtEndOfLine", kGet, 0, 0, &TextStream::atEndOfLine},
            {u"Line", kGet, 0, 0, &TextStream::line},
            {u"Column", kGet, 0, 0, &TextStream::column},
            {u"Read", kCall, 1, 1, &TextStream::read},
            {u"ReadLine", kCall, 0, 0, &TextStream::readLine},
            {u"ReadAll", kCall, 0, 0, &TextStream::readAll},
            {u"Skip", kCall, 1, 1, &TextStream::skip},
            {u"SkipLine", kCall, 0, 0, &TextStream::skipLine},
            {u"Write", kCall, 1, 1, &TextStream::write},
            {u"WriteLine", kCall, 0, 1, &TextStream::writeLine},
            {u"WriteBlankLines", kCall, 1, 1, &TextStream::writeBlankLines},
            {u"Close", kCall, 0, 0, &TextStream::close},
        };
        return t;
    }
    std::u16string typeName() const override { return u"TextStream"; }

    // Opens for reading (the whole file is decoded at once) or for writing.
    static Ref<TextStream> open(const std::string& path, int mode, bool create, bool unicode,
                                bool useBomDetection, bool overwriteCheck) {
        Ref<TextStream> s(new TextStream);
        s->mode_ = mode;
        s->unicode_ = unicode;
        if (mode == kForReading) {
            std::FILE* f = openRegularFile(path, create ? O_RDWR | O_CREAT : O_RDONLY, false, create ? "w+b" : "rb");
            struct Closer {
                std::FILE* f;
                ~Closer() { std::fclose(f); }
            } closer{f};
            // The bytes and their decoded text count against the memory
            // ceiling before they are read; a long read gives way to the
            // time-out.
            std::string bytes;
            char buf[65536];
            for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) {
                if (bytes.size() + n > static_cast<std::size_t>(kMaxStringLength) * 2) throwRuntimeError(err::OutOfMemory);
                reserveMemory(static_cast<std::int64_t>(bytes.size() + n) * 3);
                bytes.append(buf, n);
                checkTimeOut();
            }
            s->text_ = decode(bytes, unicode, useBomDetection);
        } else {
            if (overwriteCheck && fs::exists(path)) throwRuntimeError(err::FileAlreadyExists);
            bool existed = fs::exists(path);
            if (mode == kForAppending && !existed && !create) throwRuntimeError(err::FileNotFound);
            if (mode == kForWriting && !existed && !create) throwRuntimeError(err::FileNotFound);
            s->file_ = mode == kForAppending ? openRegularFile(path, O_WRONLY | O_CREAT | O_APPEND, false, "ab")
                                             : openRegularFile(path, O_WRONLY | O_CREAT, true, "wb");
            if (unicode && (mode == kForWriting || std::ftell(s->file_) == 0))
                std::fwrite("\xFF\xFE", 1, 2, s->file_);
        }
        return s;
    }

    ~TextStream() override {
        if (file_) std::fclose(file_);
    }

private:
    static std::u16string decode(const std::string& b, bool unicode, bool detect) {
        if (detect && b.size() >= 2 && static_cast<unsigned char>(b[0]) == 0xFF &&
            static_cast<unsigned char>(b[1]) == 0xFE)
            return utf16le(b.substr(2));
        if (detect && b.size() >= 3 && b.compare(0, 3, "\xEF\xBB\xBF") == 0)
            return fromUtf8(std::string_view(b).substr(3));
        if (unicode) return utf16le(b);
        return sys::cp1252ToUtf16(b);
    }
    static std::u16string utf16le(std::string_view b) {
        std::u16string s(b.size() / 2, u'\0');
        for (std::size_t i = 0; i < s.size(); ++i)
            s[i] = static_cast<char16_t>(static_cast<unsigned char>(b[2 * i]) |
                                         (static_cast<unsigned char>(b[2 * i + 1]) << 8));
        return s;
    }

    void requireReading() const {
        if (closed_) throwRuntimeError(err::BadFileNameOrNumber);
        if (mode_ != kForReading) throwRuntimeError(err::BadFileMode);
    }
    void requireWriting() const {
        if (closed_) throwRuntimeError(err::BadFileNameOrNumber);
        if (mode_ == kForReading) throwRuntimeError(err::BadFileMode);
    }

    void advance(std::size_t n) {
        for (std::size_t i = 0; i < n && pos_ < text_.size(); ++i) {
            if (text_[pos_++] == u'\n') { ++line_; column_ = 1; }
            else ++column_;
        }
    }

    void emit(std::u16string_view s) {
        requireWriting();
        std::string bytes;
        if (unicode_) {
            bytes.reserve(s.size() * 2);
            for (char16_t c : s) {
                bytes += static_cast<char>(c & 0xFF);
                bytes += static_cast<char>(c >> 8);
            }
        } else {
            bytes = sys::utf16ToCp1252(s);
        }
        if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) raiseErrno(errno);
        for (char16_t c : s) {
            if (c == u'\n') { ++line_; column_ = 1; }
            else ++column_;
        }
    }

    Variant atEndOfStream(std::uint8_t, std::span<Variant>) {
        requireReading();
        return Variant(pos_ >= text_.size());
    }
    Variant atEndOfLine(std::uint8_t, std::span<Variant>) {
        requireReading();
        return Variant(pos_ >= text_.size() || text_[pos_] == u'\n' || text_[pos_] == u'\r');
    }
    Variant line(std::uint8_t, std::span<Variant>) { return Variant(line_); }
    Variant column(std::uint8_t, std::span<Variant>) { return Variant(column_); }

    Variant read(std::uint8_t, std::span<Variant> a) {
        requireReading();
        std::int32_t n = a[0].toLong();
        if (n < 0) throwRuntimeError(err::InvalidCall);
        if (pos_ >= text_.size() && n > 0) throwRuntimeError(err::InputPastEnd);
        std::size_t take = std::min<std::size_t>(static_cast<std::size_t>(n), text_.size() - pos_);
        std::u16string s = text_.substr(pos_, take);
        advance(take);
        return Variant(std::move(s));
    }
    Variant readLine(std::uint8_t, std::span<Variant>) {
        requireReading();
        if (pos_ >= text_.size()) throwRuntimeError(err::InputPastEnd);
        std::size_t end = pos_;
        while (end < text_.size() && text_[end] != u'\n' && text_[end] != u'\r') ++end;
        std::u16string s = text_.substr(pos_, end - pos_);
        std::size_t skip = end - pos_;
        if (end < text_.size()) skip += (text_[end] == u'\r' && end + 1 < text_.size() && text_[end + 1] == u'\n') ? 2 : 1;
        advance(skip);
        return Variant(std::move(s));
    }
    Variant readAll(std::uint8_t, std::span<Variant>) {
        requireReading();
        if (pos_ >= text_.size()) throwRuntimeError(err::InputPastEnd);
        std::u16string s = text_.substr(pos_);
        advance(s.size());
        return Variant(std::move(s));
    }
    Variant skip(std::uint8_t, std::span<Variant> a) {
        requireReading();
        std::int32_t n = a[0].toLong();
        if (n < 0) throwRuntimeError(err::InvalidCall);
        advance(static_cast<std::size_t>(n));
        return {};
    }
    Variant skipLine(std::uint8_t k, std::span<Variant> a) {
        readLine(k, a);
        return {};
    }
    Variant write(std::uint8_t, std::span<Variant> a) {
        emit(stringArg(valueOf(a[0])));
        return {};
    }
    Variant writeLine(std::uint8_t, std::span<Variant> a) {
        std::u16string s = given(a, 0) ? stringArg(valueOf(a[0])) : std::u16string();
        s += u"\r\n";
        emit(s);
        return {};
    }
    Variant writeBlankLines(std::uint8_t, std::span<Variant> a) {
        std::int32_t n = a[0].toLong();
        if (n < 0) throwRuntimeError(err::InvalidCall);
        checkLength(static_cast<std::int64_t>(n) * 2);
        std::u16string s;
        for (std::int32_t i = 0; i < n; ++i) s += u"\r\n";
        emit(s);
        return {};
    }
    Variant close(std::uint8_t, std::span<Variant>) {
        if (file_) {
            int rc = std::fclose(file_);
            file_ = nullptr;
            if (rc != 0) raiseErrno(errno);
        }
        closed_ = true;
        return {};
    }

    int mode_ = kForReading;
    bool unicode_ = false;
    bool closed_ = false;
    std::FILE* file_ = nullptr;
    std::u16string text_;
    std::size_t pos_ = 0;
    std::int32_t line_ = 1, column_ = 1;
};

// Text stream options of OpenTextFile / CreateTextFile / OpenAsTextStream.
Ref<Dispatch> openStream(const std::string& path, std::span<Variant> a, std::size_t modeArg,
                         std::size_t createArg, std::size_t formatArg) {
    std::int32_t mode = longArg(a, modeArg, kForReading);
    if (mode != kForReading && mode != kForWriting && mode != kForAppending)
        throwRuntimeError(err::InvalidCall);
    bool create = createArg < a.size() && given(a, createArg) && a[createArg].toBool();
    std::int32_t format = longArg(a, formatArg, 0);
    if (format < -2 || format > 0) throwRuntimeError(err::InvalidCall);
    if (fs::is_directory(path)) throwRuntimeError(err::PermissionDenied);
    return Ref<Dispatch>(TextStream::open(path, mode, create, format == -1, true, false));
}

// ---------------------------------------------------------------------------
// File and Folder

class FileObject final : public SimpleDispatch<FileObject> {
public:
    explicit FileObject(std::string path) : path_(std::move(path)) {}
    static const MemberTable<FileObject>& members() {
        static const MemberTable<FileObject> t{
            {u"Path", kGet, 0, 0, &FileObject::pathM, true},
            {u"Name", kGet, 0, 0, &FileObject::name},
            {u"Size", kGet, 0, 0, &FileObject::size},
            {u"DateLastModified", kGet, 0, 0, &FileObject::modified},
            {u"ParentFolder", kGet, 0, 0, &FileObject::parent},
            {u"Delete", kCall, 0, 1, &FileObject::remove},
            {u"Copy", kCall, 1, 2, &FileObject::copy},
            {u"OpenAsTextStream", kCall, 0, 2, &FileObject::openAsTextStream},
        };
        return t;
    }
    std::u16string typeName() const override { return u"File"; }

private:
    Variant pathM(std::uint8_t, std::span<Variant>) { return text(path_); }
    Variant name(std::uint8_t, std::span<Variant>) { return Variant(lastComponent(fromUtf8(path_))); }
    Variant size(std::uint8_t, std::span<Variant>) {
        std::error_code ec;
        auto n = fs::file_size(path_, ec);
        if (ec) raiseErrno(ec.value());
        if (n <= 0x7FFFFFFF) return Variant(static_cast<std::int32_t>(n));
        return Variant(static_cast<double>(n));
    }
    Variant modified(std::uint8_t, std::span<Variant>) {
        if (!fs::exists(path_)) throwRuntimeError(err::FileNotFound);
        return Variant::date(fileTimeAsDate(path_));
    }
    Variant parent(std::uint8_t, std::span<Variant>) {
        return Variant(makeFolder(toUtf8(parentOf(fromUtf8(path_)))));
    }
    Variant remove(std::uint8_t, std::span<Variant>) {
        std::error_code ec;
        if (!fs::remove(path_, ec)) {
            if (ec) raiseErrno(ec.value());
            throwRuntimeError(err::FileNotFound);
        }
        return {};
    }
    Variant copy(std::uint8_t, std::span<Variant> a) {
        std::string dest = pathArg(a[0]);
        bool overwrite = !given(a, 1) || a[1].toBool();
        if (fs::is_directory(dest)) dest += "/" + toUtf8(lastComponent(fromUtf8(path_)));
        if (!overwrite && fs::exists(dest)) throwRuntimeError(err::FileAlreadyExists);
        std::error_code ec;
        fs::copy_file(path_, dest, fs::copy_options::overwrite_existing, ec);
        if (ec) raiseErrno(ec.value());
        return {};
    }
    Variant openAsTextStream(std::uint8_t, std::span<Variant> a) {
        // OpenAsTextStream([iomode[, format]])
        Variant args[3] = {given(a, 0) ? a[0] : Variant::missing(), Variant(false),
                           given(a, 1) ? a[1] : Variant::missing()};
        return Variant(openStream(path_, args, 0, 1, 2));
    }
    std::string path_;
};

class FolderObject final : public SimpleDispatch<FolderObject> {
public:
    explicit FolderObject(std::string path) : path_(std::move(path)) {}
    static const MemberTable<FolderObject>& members() {
        static const MemberTable<FolderObject> t{
            {u"Path", kGet, 0, 0, &FolderObject::pathM, true},
            {u"Name", kGet, 0, 0, &FolderObject::name},
            {u"Files", kGet, 0, 0, &FolderObject::files},
            {u"SubFolders", kGet, 0, 0, &FolderObject::subFolders},
            {u"ParentFolder", kGet, 0, 0, &FolderObject::parent},
            {u"IsRootFolder", kGet, 0, 0, &FolderObject::isRoot},
            {u"DateLastModified", kGet, 0, 0, &FolderObject::modified},
            {u"Delete", kCall, 0, 1, &FolderObject::remove},
        };
        return t;
    }
    std::u16string typeName() const override { return u"Folder"; }

private:
    Variant pathM(std::uint8_t, std::span<Variant>) { return text(path_); }
    Variant name(std::uint8_t, std::span<Variant>) { return Variant(lastComponent(fromUtf8(path_))); }
    Variant listing(bool wantFolders) {
        Ref<Collection> c(new Collection);
        std::error_code ec;
        std::vector<std::string> names;
        for (fs::directory_iterator it(path_, ec), end; !ec && it != end; it.increment(ec)) {
            std::error_code ec2;
            bool dir = it->is_directory(ec2);
            if (dir == wantFolders) names.push_back(it->path().filename().string());
        }
        if (ec) raiseErrno(ec.value());
        std::sort(names.begin(), names.end());
        for (const std::string& n : names) {
            std::string full = path_ == "/" ? "/" + n : path_ + "/" + n;
            std::u16string key = fromUtf8(n);
            if (c->contains(key)) continue; // names differing only in case: keep the first
            c->add(Variant(wantFolders ? makeFolder(full) : makeFile(full)), key);
        }
        return Variant(Ref<Dispatch>(c));
    }
    Variant files(std::uint8_t, std::span<Variant>) { return listing(false); }
    Variant subFolders(std::uint8_t, std::span<Variant>) { return listing(true); }
    Variant parent(std::uint8_t, std::span<Variant>) {
        std::u16string p = parentOf(fromUtf8(path_));
        if (p.empty() || path_ == "/") return Variant::nothing();
        return Variant(makeFolder(toUtf8(p)));
    }
    Variant isRoot(std::uint8_t, std::span<Variant>) { return Variant(path_ == "/"); }
    Variant modified(std::uint8_t, std::span<Variant>) { return Variant::date(fileTimeAsDate(path_)); }
    Variant remove(std::uint8_t, std::span<Variant>) {
        std::error_code ec;
        fs::remove_all(path_, ec);
        if (ec) raiseErrno(ec.value());
        return {};
    }
    std::string path_;
};

Ref<Dispatch> makeFile(std::string path) { return Ref<Dispatch>(new FileObject(std::move(path))); }
Ref<Dispatch> makeFolder(std::string path) { return Ref<Dispatch>(new FolderObject(std::move(path))); }

// ---------------------------------------------------------------------------
// FileSystemObject

class FileSystemObject final : public SimpleDispatch<FileSystemObject> {
public:
    static const MemberTable<FileSystemObject>& members() {
        static const MemberTable<FileSystemObject> t{
            {u"BuildPath", kCall, 2, 2, &FileSystemObject::buildPath},
            {u"CopyFile", kCall, 2, 3, &FileSystemObject::copyFile},
            {u"CreateFolder", kCall, 1, 1, &FileSystemObject::createFolder},
            {u"CreateTextFile", kCall, 1, 3, &FileSystemObject::createTextFile},
            {u"DeleteFile", kCall, 1, 2, &FileSystemObject::deleteFile},
            {u"DeleteFolder", kCall, 1, 2, &FileSystemObject::deleteFolder},
            {u"FileExists", kCall, 1, 1, &FileSystemObject::fileExists},
            {u"FolderExists", kCall, 1, 1, &FileSystemObject::folderExists},
            {u"GetAbsolutePathName", kCall, 1, 1, &FileSystemObject::absolutePath},
            {u"GetBaseName", kCall, 1, 1, &FileSystemObject::baseName},
            {u"GetExtensionName", kCall, 1, 1, &FileSystemObject::extensionName},
            {u"GetFile", kCall, 1, 1, &FileSystemObject::getFile},
            {u"GetFileName", kCall, 1, 1, &FileSystemObject::fileName},
            {u"GetFolder", kCall, 1, 1, &FileSystemObject::getFolder},
            {u"GetParentFolderName", kCall, 1, 1, &FileSystemObject::parentFolderName},
            {u"GetSpecialFolder", kCall, 1, 1, &FileSystemObject::specialFolder},
            {u"GetTempName", kCall, 0, 0, &FileSystemObject::tempName},
            {u"MoveFile", kCall, 2, 2, &FileSystemObject::moveFile},
            {u"OpenTextFile", kCall, 1, 4, &FileSystemObject::openTextFile},
        };
        return t;
    }
    std::u16string typeName() const override { return u"FileSystemObject"; }

private:
    Variant buildPath(std::uint8_t, std::span<Variant> a) {
        std::u16string p = stringArg(valueOf(a[0])), n = stringArg(valueOf(a[1]));
        if (p.empty()) return Variant(n);
        if (!isSep(p.back()) && !(p.size() == 2 && p[1] == u':') && !(n.size() && isSep(n[0]))) p += u'/';
        else if (isSep(p.back()) && !n.empty() && isSep(n[0])) n.erase(0, 1);
        return Variant(p + n);
    }
    Variant copyFile(std::uint8_t, std::span<Variant> a) {
        std::string src = pathArg(a[0]), dest = pathArg(a[1]);
        bool overwrite = !given(a, 2) || a[2].toBool();
        if (!fs::is_regular_file(src)) throwRuntimeError(err::FileNotFound);
        if (fs::is_directory(dest) || (!dest.empty() && dest.back() == '/'))
            dest += (dest.back() == '/' ? "" : "/") + fs::path(src).filename().string();
        if (fs::exists(dest) && !overwrite) throwRuntimeError(err::FileAlreadyExists);
        std::error_code ec;
        fs::copy_file(src, dest, fs::copy_options::overwrite_existing, ec);
        if (ec) raiseErrno(ec.value());
        return {};
    }
    Variant moveFile(std::uint8_t, std::span<Variant> a) {
        std::string src = pathArg(a[0]), dest = pathArg(a[1]);
        if (!fs::exists(src)) throwRuntimeError(err::FileNotFound);
        if (fs::is_directory(dest)) dest += "/" + fs::path(src).filename().string();
        if (fs::exists(dest)) throwRuntimeError(err::FileAlreadyExists);
        std::error_code ec;
        fs::rename(src, dest, ec);
        if (ec) raiseErrno(ec.value());
        return {};
    }
    Variant createFolder(std::uint8_t, std::span<Variant> a) {
        std::string p = pathArg(a[0]);
        if (fs::exists(p)) throwRuntimeError(err::FileAlreadyExists);
        std::error_code ec;
        if (!fs::create_directory(p, ec)) {
            if (ec.value() == ENOENT) throwRuntimeError(err::PathNotFound);
            raiseErrno(ec.value());
        }
        return Variant(makeFolder(p));
    }
    Variant createTextFile(std::uint8_t, std::span<Variant> a) {
        std::string p = pathArg(a[0]);
        bool overwrite = !given(a, 1) || a[1].toBool();
        bool unicode = given(a, 2) && a[2].toBool();
        if (fs::is_directory(p)) throwRuntimeError(err::PermissionDenied);
        return Variant(Ref<Dispatch>(TextStream::open(p, kForWriting, true, unicode, false, !overwrite)));
    }
    Variant openTextFile(std::uint8_t, std::span<Variant> a) {
        std::string p = pathArg(a[0]);
        return Variant(openStream(p, a, 1, 2, 3));
    }
    Variant deleteFile(std::uint8_t, std::span<Variant> a) {
        std::string p = pathArg(a[0]);
        if (!fs::is_regular_file(p) && !fs::is_symlink(p)) throwRuntimeError(err::FileNotFound);
        std::error_code ec;
        fs::remove(p, ec);
        if (ec) raiseErrno(ec.value());
        return {};
    }
    Variant deleteFolder(std::uint8_t, std::span<Variant> a) {
        std::string p = pathArg(a[0]);
        if (!fs::is_directory(p)) throwRuntimeError(err::PathNotFound);
        std::error_code ec;
        fs::remove_all(p, ec);
        if (ec) raiseErrno(ec.value());
        return {};
    }
    Variant fileExists(std::uint8_t, std::span<Variant> a) {
        std::error_code ec;
        return Variant(fs::is_regular_file(pathArg(a[0]), ec));
    }
    Variant folderExists(std::uint8_t, std::span<Variant> a) {
        std::error_code ec;
        return Variant(fs::is_directory(pathArg(a[0]), ec));
    }
    Variant absolutePath(std::uint8_t, std::span<Variant> a) {
        std::error_code ec;
        fs::path p = fs::absolute(pathArg(a[0]), ec);
        return text(p.lexically_normal().string());
    }
    Variant baseName(std::uint8_t, std::span<Variant> a) {
        std::u16string n = lastComponent(stringArg(valueOf(a[0])));
        std::size_t dot = n.rfind(u'.');
        return Variant(dot == std::u16string::npos ? n : n.substr(0, dot));
    }
    Variant extensionName(std::uint8_t, std::span<Variant> a) {
        std::u16string n = lastComponent(stringArg(valueOf(a[0])));
        std::size_t dot = n.rfind(u'.');
        return Variant(dot == std::u16string::npos ? std::u16string() : n.substr(dot + 1));
    }
    Variant fileName(std::uint8_t, std::span<Variant> a) {
        return Variant(lastComponent(stringArg(valueOf(a[0]))));
    }
    Variant parentFolderName(std::uint8_t, std::span<Variant> a) {
        return Variant(parentOf(stringArg(valueOf(a[0]))));
    }
    Variant getFile(std::uint8_t, std::span<Variant> a) {
        std::string p = pathArg(a[0]);
        if (!fs::is_regular_file(p)) throwRuntimeError(err::FileNotFound);
        return Variant(makeFile(fs::absolute(p).lexically_normal().string()));
    }
    Variant getFolder(std::uint8_t, std::span<Variant> a) {
        std::string p = pathArg(a[0]);
        if (!fs::is_directory(p)) throwRuntimeError(err::PathNotFound);
        std::string full = fs::absolute(p).lexically_normal().string();
        while (full.size() > 1 && full.back() == '/') full.pop_back();
        return Variant(makeFolder(full));
    }
    // Only the temporary folder (2) has a meaning here; the Windows and
    // system folders (0, 1) do not exist on this platform.
    Variant specialFolder(std::uint8_t, std::span<Variant> a) {
        if (a[0].toLong() != 2) throwRuntimeError(err::InvalidCall);
        std::string t = sys::tempFolder();
        while (t.size() > 1 && t.back() == '/') t.pop_back();
        return Variant(makeFolder(t));
    }
        Variant tempName(std::uint8_t, std::span<Variant>) {
        static thread_local std::mt19937 gen{std::random_device{}()};
        char buf[16];
        std::snprintf(buf, sizeof buf, "rad%05X.tmp", static_cast<unsigned>(gen() & 0xFFFFF));
        return text(buf);
    }
};

} // namespace

Ref<Dispatch> createFileSystemObject() { return Ref<Dispatch>(new FileSystemObject); }

} // namespace qz::script

#include "platform/word/Pictures.h"

#include "platform/word/Application.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <system_error>
#include <filesystem>

namespace qz::word {

namespace {

namespace fs = std::filesystem;

unsigned Byte(const std::string& d, std::size_t i) { return static_cast<unsigned char>(d[i]); }
unsigned Be16(const std::string& d, std::size_t i) { return Byte(d, i) << 8 | Byte(d, i + 1); }
unsigned long Be32(const std::string& d, std::size_t i) {
    return static_cast<unsigned long>(Be16(d, i)) << 16 | Be16(d, i + 2);
}

// A PNG file's size in pixels, from its header chunk; false when it is none.
bool PngSize(const std::string& d, unsigned long& w, unsigned long& h) {
    static const char kSignature[] = "\x89PNG\r\n\x1a\n";
    if (d.size() < 33 || d.compare(0, 8, kSignature, 8) != 0 || d.compare(12, 4, "IHDR") != 0) return false;
    w = Be32(d, 16);
    h = Be32(d, 20);
    // A whole file ends with its end chunk.
    return d.size() >= 45 && d.compare(d.size() - 8, 4, "IEND") == 0;
}

// A JPEG file's size in pixels, from its frame header; false when it has none.
bool JpegSize(const std::string& d, unsigned long& w, unsigned long& h) {
    if (d.size() < 4 || Byte(d, 0) != 0xFF || Byte(d, 1) != 0xD8) return false;
    std::size_t i = 2;
    while (i + 4 <= d.size()) {
        if (Byte(d, i) != 0xFF) return false;
        const unsigned marker = Byte(d, i + 1);
        if (marker == 0xFF) { // padding
            ++i;
            continue;
        }
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            i += 2;
            continue;
        }
        const unsigned length = Be16(d, i + 2);
        if (length < 2 || i + 2 + length > d.size()) return false;
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (length < 7) return false;
            h = Be16(d, i + 5);
            w = Be16(d, i + 7);
            return true;
        }
        if (marker == 0xD9 || marker == 0xDA) return false; // image data before any frame header
        i += 2 + length;
    }
    return false;
}

} // namespace

std::string EmbeddedPictureGroup(const std::string& fileName, int maxWidth) {
    auto refuse = [&](const std::string& why) { RaiseWordError(kErrPicture, fileName + ": " + why); };
    std::error_code ec;
    const fs::path path(fileName);
    if (!fs::is_regular_file(path, ec)) {
        const int err = !fs::exists(path, ec) ? ENOENT : fs::is_directory(path, ec) ? EISDIR : EINVAL;
        RaiseWordError(kErrPicture, FileErrorDetail(fileName, err));
    }
    const auto size = fs::file_size(path, ec);
    if (ec) RaiseWordError(kErrPicture, FileErrorDetail(fileName, ec.value()));
    if (size > static_cast<std::uintmax_t>(kMostPictureBytes))
        refuse("the file is larger than " + std::to_string(kMostPictureBytes / (1024 * 1024)) + " MB");
    std::ifstream in(path, std::ios::binary);
    if (!in) RaiseWordError(kErrPicture, FileErrorDetail(fileName, errno ? errno : EACCES));
    std::string data(static_cast<std::size_t>(size), '\0');
    if (!in.read(data.data(), static_cast<std::streamsize>(size)))
        RaiseWordError(kErrPicture, FileErrorDetail(fileName, errno ? errno : EIO));
    unsigned long w = 0, h = 0;
    const bool png = PngSize(data, w, h);
    if (!png && !JpegSize(data, w, h)) refuse("it is not a whole PNG or JPEG picture");
    if (w == 0 || h == 0) refuse("the picture has no pixels");
    if (w > static_cast<unsigned long>(kMostPicturePixels) || h > static_cast<unsigned long>(kMostPicturePixels))
        refuse("the picture is larger than " + std::to_string(kMostPicturePixels) + " pixels a side");
    // Shown at 96 pixels an inch (15 twips a pixel), no wider than the text.
    double goalW = w * 15.0, goalH = h * 15.0;
    if (maxWidth > 0 && goalW > maxWidth) {
        goalH = goalH * maxWidth / goalW;
        goalW = maxWidth;
    }
    std::string g = png ? "{\\pict\\pngblip" : "{\\pict\\jpegblip";
    g += "\\picw" + std::to_string(w) + "\\pich" + std::to_string(h);
    g += "\\picwgoal" + std::to_string(std::lround(goalW)) + "\\pichgoal" + std::to_string(std::max(1L, std::lround(goalH)));
    g += ' ';
    g.reserve(g.size() + data.size() * 2 + 1);
    static constexpr char kHex[] = "0123456789abcdef";
    for (std::size_t i = 0; i < data.size(); ++i) {
        g += kHex[Byte(data, i) >> 4];
        g += kHex[Byte(data, i) & 15];
    }
    g += '}';
    return g;
}

void AddPicture(Range& at, const std::string& fileName) {
    Document& doc = *at.GetDocument();
    Story& story = *at.GetStory();
    const std::string group = EmbeddedPictureGroup(fileName, doc.PageSetupOf(0).TextWidth());
    if (auto* sel = dynamic_cast<Selection*>(&at)) {
        sel->LeaveFieldEdges();
        const Atom picture = Atom::Make(AtomKind::Opaque, doc.AddOpaque(group), sel->InsertFormat());
        sel->InsertAtoms({picture});
        return;
    }
    const long start = at.Start();
    const std::uint32_t fmt = start < at.StoryLength() ? story[static_cast<std::size_t>(start)].fmt
                              : start > 0             ? story[static_cast<std::size_t>(start - 1)].fmt
                                                      : doc.DefaultFormat();
    const Atom picture = Atom::Make(AtomKind::Opaque, doc.AddOpaque(group), fmt);
    ReplaceAtoms(doc, story, start, at.End(), &picture, 1);
    at.SetRange(start, start + 1);
}

} // namespace qz::word

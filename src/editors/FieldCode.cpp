#include "editors/FieldCode.h"
#include "core/ModErrors.h"

#include "platform/automation/Text.h"
#include "platform/ui/Printer.h"

namespace qz::editors {

bool LabelKeyAllowed(std::int32_t k) noexcept {
    if (k == 8 || k == 22 || k == 32) return true;
    if (k < 45 || k > 123) return false;
    if (k >= 59 && k <= 64) return false;
    if (k >= 91 && k <= 96 && k != 95) return false;
    return true;
}

bool ValidLabel(const std::string& label) noexcept {
    return label.find_first_of("'\"") == std::string::npos && !onlySpaces(label);
}

std::int32_t CheckForValidCRLF(const std::string& code) noexcept {
    std::size_t at = code.find("\r\n");
    if (at == 0) return -1;
    while (at != std::string::npos) {
        std::size_t i = at;
        while (i > 0 && code[i - 1] == ' ') --i;
        if (i == 0 || code[i - 1] != '_') return -1;
        at = code.find("\r\n", at + 1);
    }
    return 1;
}

std::string PictureLinkCall(const std::string& path) {
    std::string out = "QzInsertPictureLinkRTF(\"";
    for (char c : path) {
        out += c;
        if (c == '"') out += '"';
    }
    return out + "\")";
}

const std::vector<std::pair<std::string, std::string>>& PictureFilters() {
    static const std::vector<std::pair<std::string, std::string>> filters = {
        {"All Pictures (*.emf;*.wmf;*.jpg;*.jpeg;*.jfif;*.jpe;*.png;*.bmp;*.dib;*.rle;*.bmz;*.gif;*.gfa;*.emz;*.wmz;"
         "*.pcz;*.pcd;*.pcx;*.cdr;*.egm;*.eps;*.fpx;*.mix;*.pct;*.pict;*.tif;*.tiff;*.wpg)",
         "*.emf;*.wmf;*.jpg;*.jpeg;*.jfif;*.jpe;*.png;*.bmp;*.dib;*.rle;*.bmz;*.gif;*.gfa;*.emz;*.wmz;*.pcz;*.pcd;"
         "*.pcx;*.cdr;*.egm;*.eps;*.fpx;*.mix;*.pct;*.pict;*.tif;*.tiff;*.wpg"},
        {"Windows Enhanced Metafile (*.emf)", "*.emf"},
        {"Windows Metafile (*.wmf)", "*.wmf"},
        {"JPEG File Interchange Format (*.jpg;*jpeg;*.jfif;*.jpe)", "*.jpg;*jpeg;*.jfif;*.jpe"},
        {"Portable Network Graphics (*.png)", "*.png"},
        {"Windows Bitmap (*.bmp;*.dib;*.rle;*.bmz)", "*.bmp;*.dib;*.rle;*.bmz"},
        {"Graphics Interchange Format (*.gif;*.gfa)", "*.gif;*.gfa"},
        {"Compressed Windows Enhanced Metafile (*.emz)", "*.emz"},
        {"Compressed Windows Metafile (*.wmz)", "*.wmz"},
        {"Compressed Macintosh PICT (*.pcz)", "*.pcz"},
        {"Kodak Photo CD (*.pcd)", "*.pcd"},
        {"PC Paintbrush (*.pcx)", "*.pcx"},
        {"Corel Draw (*.cdr)", "*.cdr"},
        {"Computer Graphics Metafile (*.egm)", "*.egm"},
        {"Encapsulated PostScript (*.eps)", "*.eps"},
        {"FPX Format (*.fpx)", "*.fpx"},
        {"Picture It! Format (*.mix)", "*.mix"},
        {"Macintosh PICT (*.pct)", "*.pct"},
        {"Tag Image File Format (*.tif;*.tiff)", "*.tif;*.tiff"},
        {"WordPerfect Graphics (*.wpg)", "*.wpg"},
    };
    return filters;
}

void PrintFieldCode(const std::string& label, const std::string& code) {
    ui::Printer& printer = ui::CurrentPrinter();
    // The heading stands at the top of a new document: its first page.
    constexpr int kFirstPage = 1;
    try {
        printer.FontSize = 10;
        printer.Print("");
        printer.Print(label + " - " + std::to_string(kFirstPage));
        printer.Print("");
        printer.Print(code);
        printer.EndDoc();
    } catch (...) {
        Quietly([&] { printer.KillDoc(); });
        throw;
    }
}

} // namespace qz::editors

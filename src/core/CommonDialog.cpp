#include "core/CommonDialog.h"

#include "core/ModErrors.h"
#include "platform/system/Folders.h"
#include "platform/ui/UiHost.h"
#include "resources/MessageIds.h"

#include <charconv>

namespace qz {

std::string CommonDialog::OpenFileName(const std::string& mode, const std::string& filterName,
                                       const std::string& filterPattern, std::intptr_t ownerWindow,
                                       const std::string& initialFolder,
                                       const std::string& defaultExt, const std::string& fileName) {
    return Handled("CommonDialog", "OpenFileName", kErrLog | kErrRaise, [&]() -> std::string {
        // The mode is a number in a text, blanks around it allowed.
        const std::size_t b = mode.find_first_not_of(' ');
        const std::size_t e = mode.find_last_not_of(' ');
        long long number = 0;
        const char* first = b == std::string::npos ? mode.data() : mode.data() + b;
        const char* last = b == std::string::npos ? first : mode.data() + e + 1;
        if (first == last || std::from_chars(first, last, number).ptr != last)
            throw AutomationError(13, std::string(kErrorSource), "Type mismatch");

        ui::FileDialogRequest request;
        request.save = number != 0;
        request.filters = {{filterName, filterPattern}, {"All Files (*.*)", "*.*"}};
        request.filterIndex = 1;
        request.initialFolder = initialFolder.empty() ? sys::libraryFolder() : initialFolder;
        request.defaultExt = defaultExt;
        request.fileName = fileName;
        const ui::FileDialogResult result = ui::currentHost().fileDialog(request);
        switch (result.outcome) {
        case ui::FileDialogResult::Ok: return result.path;
        case ui::FileDialogResult::Cancelled: return {};
        case ui::FileDialogResult::Failed: RaiseError(request.save ? msg::CannotSaveUnderName : msg::CannotOpenName);
        }
        return {};
    });
}

} // namespace qz

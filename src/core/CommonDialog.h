// The open and save file dialog: one filter of the caller's plus
// "All Files (*.*)", the chosen path back.
#pragma once

#include <cstdint>
#include <string>

namespace qz {

class CommonDialog {
public:
    // Mode "0" shows the open dialog, any other number the save dialog (a
    // mode that is no number fails with error 13). The caller's filter is
    // selected first; an empty folder starts in the library's own folder; the
    // default extension is added to a typed name without one; the file name
    // is proposed. Neither an overwrite prompt nor a must-exist check: those
    // are the caller's. Returns the whole chosen path, "" when the user
    // cancels; a dialog that fails raises 4035 (save) or 4036 (open).
    std::string OpenFileName(const std::string& mode, const std::string& filterName,
                             const std::string& filterPattern, std::intptr_t ownerWindow,
                             const std::string& initialFolder, const std::string& defaultExt,
                             const std::string& fileName);
};

} // namespace qz

// "Scripting.FileSystemObject" with its File, Folder and TextStream objects:
// the members scripts commonly use, over the real file system. Paths written
// with backslashes are accepted.
#pragma once

#include "platform/automation/Ref.h"

namespace qz {
class Dispatch;
}

namespace qz::script {

// A new FileSystemObject.
Ref<Dispatch> createFileSystemObject();

} // namespace qz::script

#include "Builtins.h"
#include "Dictionary.h"
#include "FileSystem.h"
#include "RegExp.h"

namespace qz::script {

void registerLibraryObjects() {
    registerCreatable(u"Scripting.Dictionary", [] { return Ref<Dispatch>(new Dictionary); });
    registerCreatable(u"VBScript.RegExp", [] { return Ref<Dispatch>(new RegExp); });
    registerCreatable(u"Scripting.FileSystemObject", [] { return createFileSystemObject(); });
}

} // namespace qz::script

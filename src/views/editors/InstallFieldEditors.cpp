// The desktop program's field commands open the field editors' windows: the
// editors are installed with the views, which every windowed program links.
#include "editors/forms/FieldEditors.h"

namespace qz::views {
namespace {
[[maybe_unused]] const bool kInstalled = [] {
    editors::InstallFieldEditors();
    return true;
}();
} // namespace
} // namespace qz::views

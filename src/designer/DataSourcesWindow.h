// The data-sources window that command 25 opens. It lives in the data-source
// layer above the designer, which reaches it through this interface: that
// layer installs a factory (at start-up of the program, or in a test), and
// each designer makes one window on its first command 25 and keeps it.
#pragma once

#include <atomic>
#include <memory>

namespace qz::designer {

class DataSourcesWindow {
public:
    virtual ~DataSourcesWindow() = default;
    // Loads the active template's QZC file afresh and fills the window.
    virtual void Initialize() = 0;
    // Shows the window modally; returns when the author closed it.
    virtual void Show() = 0;
};

using DataSourcesWindowFactory = std::unique_ptr<DataSourcesWindow> (*)();

namespace detail {
inline std::atomic<DataSourcesWindowFactory> gDataSourcesWindowFactory{nullptr};
}

// Installs the factory (nullptr removes it). Command 25 raises "This command
// is not available yet." while none is installed.
inline void SetDataSourcesWindowFactory(DataSourcesWindowFactory factory) noexcept {
    detail::gDataSourcesWindowFactory = factory;
}
inline DataSourcesWindowFactory GetDataSourcesWindowFactory() noexcept { return detail::gDataSourcesWindowFactory; }

} // namespace qz::designer

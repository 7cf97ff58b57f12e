#include "views/studio/RecentFiles.h"

#include "platform/system/Settings.h"
#include "views/host/Text.h"

#include <QFileInfo>

namespace qz::views {

namespace {

constexpr const char* kKey = "Software\\Pellitron\\Quorvane Studio 2004\\Studio\\Recent File List";

std::string valueName(int k) { return "File" + std::to_string(k + 1); }

void store(const QStringList& files) {
    for (int k = 0; k < kMostRecentFiles; ++k) {
        if (k < files.size()) sys::writeSetting(sys::SettingsScope::User, kKey, valueName(k), us(files[k]));
        else sys::deleteSetting(sys::SettingsScope::User, kKey, valueName(k));
    }
}

} // namespace

QStringList recentFiles(bool dropMissing) {
    QStringList files;
    bool dropped = false;
    for (int k = 0; k < kMostRecentFiles; ++k) {
        const auto value = sys::readSetting(sys::SettingsScope::User, kKey, valueName(k));
        if (!value || value->empty()) continue;
        const QString path = qs(*value);
        if (files.contains(path)) continue;
        if (dropMissing && !QFileInfo(path).isFile()) {
            dropped = true;
            continue;
        }
        files << path;
    }
    if (dropped) store(files);
    return files;
}

void addRecentFile(const QString& path) {
    const QString full = QFileInfo(path).absoluteFilePath();
    QStringList files = recentFiles(false);
    files.removeAll(full);
    files.prepend(full);
    while (files.size() > kMostRecentFiles) files.removeLast();
    store(files);
}

void removeRecentFile(const QString& path) {
    QStringList files = recentFiles(false);
    if (files.removeAll(QFileInfo(path).absoluteFilePath()) > 0 || files.removeAll(path) > 0) store(files);
}

} // namespace qz::views

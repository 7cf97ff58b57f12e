// The studio's recent files, newest first, kept in the user's settings (the
// settings store) so that they outlive the session.
#pragma once

#include <QStringList>

namespace qz::views {

inline constexpr int kMostRecentFiles = 8;

// The list as stored; files that no longer exist are dropped from it (and
// from the store) when dropMissing is set.
QStringList recentFiles(bool dropMissing = true);
// Puts a file (full path) first, without doubles, keeping at most kMostRecentFiles.
void addRecentFile(const QString& path);
void removeRecentFile(const QString& path);

} // namespace qz::views

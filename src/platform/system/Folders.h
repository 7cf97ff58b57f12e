// The folders of the platform, by the XDG rules: where per-user data,
// documents, shared files and the library's own files live.
#pragma once

#include <string>
#include <string_view>

namespace qz::sys {

// The maker and product folders below the per-user data folder.
inline constexpr std::string_view kProductSubfolder = "Pellitron/Quorvane Studio 2004";

// $HOME, or the password database's home; "" when neither is known.
std::string homeFolder();
// $XDG_DATA_HOME, or ~/.local/share; "" when there is no home.
std::string userDataFolder();
// $XDG_CONFIG_HOME, or ~/.config.
std::string userConfigFolder();
// $XDG_STATE_HOME, or ~/.local/state: per-user files that are not data (logs).
std::string userStateFolder();
// The user's documents folder: XDG_DOCUMENTS_DIR (environment, then
// user-dirs.dirs), else the home folder.
std::string personalFolder();
// Files shared by programs of every maker: <install prefix>/share.
std::string commonFilesFolder();
// The first of $XDG_CONFIG_DIRS, or /etc/xdg: machine-wide settings.
std::string machineConfigFolder();
// $TMPDIR, or /tmp.
std::string tempFolder();
// The folder of the library's own files (script libraries, help): the
// QZ_LIBRARY_DIR environment variable when set, else the data folder of the
// running program's folder (dataFolderOf).
std::string libraryFolder();
// Where the programs of a folder keep their data: an installed program in
// <prefix>/bin finds it in <prefix>/share/quorvane-studio; a program of the
// build tree keeps it beside itself.
std::string dataFolderOf(const std::string& programFolder);

// A private per-user folder for what belongs under a home folder that is
// missing or cannot be written (service accounts): "$XDG_RUNTIME_DIR/qzstudio"
// when the runtime folder is this user's alone; otherwise a folder of this
// user's alone in the temporary folder, "<tmp>/qzstudio-<uid>-<random>",
// made fresh (mode 0700) unless an earlier one of this user's is there. A
// name someone else took first (a planted link, another user's folder) is
// never used. "" when none can be had, with the errno in `error` and, in
// `why`, each folder tried and the system's reason it failed.
std::string fallbackUserFolder(int* error = nullptr, std::string* why = nullptr);
// The folder fallbackUserFolder would return, with nothing created (a fresh
// temporary one named with "XXXXXX" in place of its random part); "" when
// none could be had.
std::string plannedFallbackFolder();
// Whether the folder exists or can be created, and can be written (a missing
// one is created).
bool usableFolder(const std::string& path);
// The same, without creating anything.
bool couldUseFolder(const std::string& path);
// `preferred` (created when missing) when it can be written; otherwise
// <fallbackUserFolder>/<subfolder> (created). "" when neither can be had,
// with the errno of the preferred folder in `error` and, in `why`, each
// folder tried and the system's reason it failed.
std::string writableFolder(const std::string& preferred, std::string_view subfolder, int* error = nullptr,
                           std::string* why = nullptr);
// The folder writableFolder would return, for telling the user where files
// go: nothing is created. A private temporary folder that would be made
// fresh is named with "XXXXXX" in place of its random part.
std::string plannedFolder(const std::string& preferred, std::string_view subfolder);

// Creates a folder and its missing parents. 0 on success (also when it
// exists already), else the errno of the failing step.
int createFolderTree(const std::string& path);
// True when the path names an existing folder.
bool folderExists(const std::string& path);
// True when the path names an existing file (not a folder).
bool fileExists(const std::string& path);

} // namespace qz::sys

#pragma once

#include <string>
#include <string_view>

namespace qv31 {

// Directory of the running executable (from /proc/self/exe), without a trailing slash; empty
// when it cannot be found.
std::string ExecutableDirectory();

// Where the settings file and CSV exports live: beside the executable when that directory is
// writable and not a system folder (IsSystemFolder), else $XDG_CONFIG_HOME/qv31 (an absolute
// XDG_CONFIG_HOME only, as the XDG rules say), else $HOME/.config/qv31. Finding it creates nothing;
// MakeSettingsDirectory does.
std::string SettingsDirectory();

// Creates the directory and its missing parents (mode 0700); true when it exists afterwards.
bool MakeSettingsDirectory(const std::string& path);

// A folder the program must not write its files into, even when it may (run as root): one
// under /usr or /opt, or one that is not the user's own.
bool IsSystemFolder(std::string_view dir, bool ownedByUser);

// The choice itself, for given inputs: `exeDirWritable` tells whether exeDir may be written
// and is no system folder.
// Returns an empty text when no rule applies (no writable executable directory, no usable
// XDG_CONFIG_HOME and no HOME).
std::string ChooseSettingsDirectory(std::string_view exeDir, bool exeDirWritable,
                                    const char* xdgConfigHome, const char* home);

// Windows: beside the executable when a file may be created there, else %APPDATA%\qv31.
// Empty when neither applies.
std::string ChooseWindowsSettingsDirectory(std::string_view exeDir, bool exeDirWritable,
                                           std::string_view appData);

}  // namespace qv31

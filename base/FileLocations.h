#pragma once

#include <optional>
#include <string>

// Where the program's files live.
//
// Built, or copied anywhere as a portable folder, the program keeps every file in its executable's directory.
// Installed, that directory belongs to the system: the files a user writes or may replace (config.ini, P0.txt to
// P9.txt, ports/, a language file of their own) then live in the user's own directory of the program, and the files
// the program comes with (the language files, identifiers.ini, the default config.ini) are read from its shipped
// directory. On Linux and macOS the user's directory is $XDG_DATA_HOME/kalvora (~/.local/share/kalvora by default)
// and the shipped one <prefix>/share/kalvora; on Windows the user's directory is Kalvora in the user's roaming
// application data (%APPDATA%\Kalvora), and the shipped files sit beside the executable.
//
// The program counts as installed when its executable sits in an installed layout (the shipped directory exists at
// <bindir>/../share/kalvora), when it sits in the system's folder of installed programs (Windows's Program Files,
// either of them), or when its directory cannot be written by the user. The first holds for a package or
// `cmake --install` whoever runs the program, root included; the second for a setup program's install whoever runs
// it, an administrator included, and under Wine, which does not keep users out of Program Files; the third covers a
// copy put where the user may not write.

// What the decision rests on, gathered from the system.
struct CFileLocationFacts {
    std::string m_strExecutableDirectory;
    bool m_bExecutableDirectoryWritable = true;  // by the user running the program
    bool m_bShippedDirectoryPresent = false;     // ShippedDirectoryFor(m_strExecutableDirectory) is a directory
    std::optional<std::string> m_strXdgDataHome; // $XDG_DATA_HOME as the environment holds it
    std::optional<std::string> m_strHome;        // $HOME, else the home directory of the user's account
    // Windows: the executable's directory is in (or is) a Program Files folder of the system.
    bool m_bInProgramFiles = false;
    // Windows: the user's roaming application data folder, as the system names it (RoamingAppData).
    std::optional<std::string> m_strAppData;
};

// The decision: whether the program runs installed, the directory of the user's files and that of the shipped ones.
struct CFileLocations {
    bool m_bInstalled = false;
    std::string m_strFiles;   // config.ini, P0.txt..P9.txt, ports/, the user's own language files
    std::string m_strShipped; // identifiers.ini, lng_<name>.ini and the default config.ini as the program comes
};

// The shipped directory of an installed layout for the directory of its executable: <bindir>/../share/kalvora
// (the relative path from the configured bindir to the configured datadir), lexically normal.
std::string ShippedDirectoryFor(const std::string& strExecutableDirectory);

// The user's directory of the program: $XDG_DATA_HOME/kalvora when that is an absolute path (a relative one is
// ignored, as the XDG base directory rules ask), else <home>/.local/share/kalvora for an absolute home; nothing
// when neither is usable.
std::optional<std::string> UserFilesDirectory(const std::optional<std::string>& strXdgDataHome,
                                              const std::optional<std::string>& strHome);
// The same on Windows: <application data>/Kalvora for the folder the system names (an empty name is none).
std::optional<std::string> UserFilesDirectory(const std::optional<std::string>& strAppData);

// The facts of the running system for an executable directory (FileLocations<Platform>.cpp).
CFileLocationFacts GatherFileLocationFacts(const std::string& strExecutableDirectory);

// The rule. Not installed: both directories are the executable's. Installed: the user's files go to
// UserFilesDirectory, of the application data folder when the facts name one, else of the XDG variables and the
// home (the executable's directory when there is none: writes then fail with the usual messages), and the shipped
// files are read from the shipped directory when it is present, else from the executable's.
CFileLocations FileLocationsFor(const CFileLocationFacts& facts);

// The running program's locations, decided once (and again whenever a test points ExecutableDirectory somewhere).
CFileLocations CurrentFileLocations();
std::string FilesDirectory();
std::string ShippedDirectory();
// A file the user may replace by a copy of their own: FilesDirectory()/strName when that exists, else
// ShippedDirectory()/strName.
std::string DataFilePath(const std::string& strName);

// Makes the user's directory (mode 0700 where modes exist) when the program runs installed and it does not exist yet.
// False when it cannot be made; true when there is nothing to make.
bool MakeFilesDirectory();
// MakeFilesDirectory, then, installed, a copy of the shipped config.ini into it when it holds none (the first
// start of each user). A config.ini already there is never touched. False when a step fails.
bool PrepareFilesDirectory();

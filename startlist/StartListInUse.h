#pragma once

#include "startlist/StartList.h"

#include <memory>
#include <string>

// The start list the window program names its starters from: the file config.ini names, and what was read of it.
// Read when the program starts and when the user chooses another; never while it monitors.
struct CStartListInUse {
    std::string m_strPath;                    // the file, as config.ini names it; empty: no start list
    std::shared_ptr<const CStartList> m_list; // what was read of it; nullptr: no list, or none could be read
    std::string m_strError;                   // why the file could not be read
};

// Reads the start list at the path (ReadStartListFile); an empty path is no start list.
CStartListInUse StartListInUseOf(const std::string& strPath);

#include "base/FileLocations.h"

// On Windows the program keeps its files beside its executable, as it always has there: an installer puts it in a
// folder of its own that the user may write.
CFileLocationFacts GatherFileLocationFacts(const std::string& strExecutableDirectory) {
    CFileLocationFacts facts;
    facts.m_strExecutableDirectory = strExecutableDirectory;
    facts.m_bExecutableDirectoryWritable = true;
    facts.m_bShippedDirectoryPresent = false;
    return facts;
}

#include "startlist/StartListInUse.h"

#include "startlist/StartListFile.h"

#include <utility>

CStartListInUse StartListInUseOf(const std::string& strPath) {
    CStartListInUse inUse;
    inUse.m_strPath = strPath;
    if (strPath.empty())
        return inUse;
    CStartListRead read = ReadStartListFile(strPath);
    if (read.m_list)
        inUse.m_list = std::make_shared<const CStartList>(std::move(*read.m_list));
    else
        inUse.m_strError = std::move(read.m_strError);
    return inUse;
}

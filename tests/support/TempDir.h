#pragma once

#include <string>

// A fresh directory under the system's temporary directory, removed with everything in it at the end of scope.
class CTempDir {
public:
    CTempDir();
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    const std::string& Path() const { return m_strPath; }
    std::string File(const std::string& strName) const { return m_strPath + "/" + strName; }

private:
    std::string m_strPath;
};

// A temporary directory that stands for the executable's directory while it lives, so that the settings, language,
// program and port files of one test never meet those of another.
class CExecutableDirectory : public CTempDir {
public:
    CExecutableDirectory();
    ~CExecutableDirectory();
};

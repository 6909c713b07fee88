#include "link/ComPorts.h"

#include "link/SerialPort.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// What each link ports/COM<n> of the COM numbers 1 to 20 points to, as written (empty: no link there, but maybe
// a file of that name).
struct CPortLinks {
    std::map<int, std::string> m_targets; // numbers with a link
    std::set<int> m_taken;                // numbers with anything at all of their name
};

CPortLinks ReadPortLinks(const std::string& strDirectory) {
    CPortLinks links;
    for (int nPort = 1; nPort <= kComPortCount; ++nPort) {
        const fs::path name = ComPortLinkPath(strDirectory, nPort);
        std::error_code error;
        const fs::file_status status = fs::symlink_status(name, error);
        if (error || !fs::exists(status))
            continue;
        links.m_taken.insert(nPort);
        if (fs::is_symlink(status)) {
            const fs::path target = fs::read_symlink(name, error);
            if (!error)
                links.m_targets[nPort] = target.string();
        }
    }
    return links;
}

// The names in the search directory, in order; none when it is missing.
std::vector<std::string> DeviceNames(const std::string& strSearchDirectory) {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator entry(strSearchDirectory, error), end; !error && entry != end; entry.increment(error))
        names.push_back(entry->path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string DevicePath(const std::string& strSearchDirectory, const std::string& strName) {
    return strSearchDirectory + "/" + strName;
}

} // namespace

void AssignComNumbers(const std::string& strDirectory, const std::string& strSearchDirectory) {
    const std::vector<std::string> names = DeviceNames(strSearchDirectory);
    if (names.empty())
        return;
    CPortLinks links = ReadPortLinks(strDirectory);
    std::set<std::string> named;
    for (const auto& [nPort, strTarget] : links.m_targets)
        named.insert(strTarget);
    std::error_code error;
    for (const std::string& strName : names) {
        const std::string strDevice = DevicePath(strSearchDirectory, strName);
        if (named.count(strDevice))
            continue;
        fs::create_directories(fs::path(ComPortLinkPath(strDirectory, kFirstAdapterPort)).parent_path(), error);
        for (int nPort = kFirstAdapterPort; nPort <= kComPortCount; ++nPort) {
            if (links.m_taken.count(nPort))
                continue;
            // Another copy of the program may take the number at the same moment: then the next one is tried.
            const std::string strLink = ComPortLinkPath(strDirectory, nPort);
            if (::symlink(strDevice.c_str(), strLink.c_str()) != 0 && errno != EEXIST)
                break; // the ports directory cannot be written: no number today
            links.m_taken.insert(nPort);
            if (fs::read_symlink(strLink, error) == fs::path(strDevice)) {
                named.insert(strDevice);
                break;
            }
        }
    }
}

std::vector<CComPortEntry> DescribeComPorts(const std::string& strDirectory, const std::string& strSearchDirectory) {
    const CPortLinks links = ReadPortLinks(strDirectory);
    // The adapters that are there now, by number.
    std::map<int, CAdapterName> present;
    std::map<std::string, int> models;
    const std::string strPrefix = strSearchDirectory + "/";
    for (const auto& [nPort, strTarget] : links.m_targets) {
        std::error_code error;
        if (strTarget.rfind(strPrefix, 0) != 0 || !fs::exists(strTarget, error))
            continue;
        present[nPort] = ParseAdapterName(strTarget.substr(strPrefix.size()));
        ++models[present[nPort].m_strModel];
    }
    std::vector<CComPortEntry> entries;
    for (int nPort = 1; nPort <= kComPortCount; ++nPort) {
        // A device served in this process is what the number opens, whatever the link beside it says.
        if (auto entry = InProcessComPortEntry(nPort)) {
            entries.push_back(std::move(*entry));
            continue;
        }
        CComPortEntry entry;
        entry.m_strText = "COM " + std::to_string(nPort);
        if (const auto adapter = present.find(nPort); adapter != present.end()) {
            entry.m_strText += " - " + adapter->second.m_strModel;
            if (models[adapter->second.m_strModel] > 1 && !adapter->second.m_strSerial.empty())
                entry.m_strText += " " + adapter->second.m_strSerial;
        }
        entry.m_strDevice = PortDevicePath(nPort, strDirectory, links.m_taken.count(nPort) > 0);
        entries.push_back(std::move(entry));
    }
    return entries;
}

#pragma once

// What the dialog tests share: the files beside "the executable" of one test with its message boxes recorded, and
// the settings file's text. The dialogs themselves are driven by CDialogDriver (window/DialogDriver.h).

#include "base/Files.h"
#include "tests/support/TempDir.h"
#include "window/DialogDriver.h"
#include "window/MessageBox.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

// config.ini naming a language (when given), COM port nPort and a baud index (when given).
inline std::string SettingsNaming(int nPort, std::optional<int> nBaudIndex = {}, const char* pszLanguage = nullptr) {
    std::string strText;
    if (pszLanguage)
        strText += std::string("[System]\nLanguage=") + pszLanguage + "\n";
    strText += "[Settings]\nCOMPort=" + std::to_string(nPort - 1) + "\n";
    if (nBaudIndex)
        strText += "Baudrate=" + std::to_string(*nBaudIndex) + "\n";
    return strText;
}

// The directory beside "the executable" of one dialog test: config.ini with the text given (none when it is empty),
// copies of files of res/ (the language files, say), and every message box recorded instead of shown (a question
// answered No, or Yes when asked).
class CDialogFiles {
public:
    explicit CDialogFiles(const std::string& strSettings = {}, std::initializer_list<const char*> resources = {},
                          bool bAnswerYes = false)
        : m_boxes(bAnswerYes) {
        for (const char* pszName : resources) {
            const auto bytes = ReadFileBytes(std::string(KALVORA_SOURCE_DIR) + "/res/" + pszName);
            if (!bytes)
                Fail("cannot read res/", pszName);
            Write(pszName, *bytes);
        }
        if (!strSettings.empty())
            Write("config.ini", strSettings);
    }
    void Write(const std::string& strName, const std::string& strText) const {
        if (!WriteFileReplacing(m_dir.File(strName), strText))
            Fail("cannot write ", strName.c_str());
    }
    std::optional<std::string> Read(const std::string& strName) const { return ReadFileBytes(m_dir.File(strName)); }
    const CTempDir& Dir() const { return m_dir; }
    const CMessageBoxRecorder& Boxes() const { return m_boxes; }
    std::vector<std::string> Messages() const { return m_boxes.Texts(); }

private:
    // A fixture that cannot be set up ends the test program: nothing after it would mean anything.
    [[noreturn]] static void Fail(const char* pszWhat, const char* pszName) {
        std::fprintf(stderr, "%s%s\n", pszWhat, pszName);
        std::abort();
    }

    CExecutableDirectory m_dir;
    CMessageBoxRecorder m_boxes; // no test ever waits for a message box
};

// How a failed comparison shows a list's column (CDialogDriver::Columns).
inline void PrintTo(const CDialogDriver::CColumn& column, std::ostream* out) {
    const auto name = [](EAlign align) {
        return align == EAlign::Left ? "left" : align == EAlign::Center ? "centre" : "right";
    };
    *out << '"' << column.strHeading << "\" " << name(column.headingAlign) << '/' << name(column.cellAlign) << ' '
         << column.nWidth;
}

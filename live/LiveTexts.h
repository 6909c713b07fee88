#pragma once

#include <string>

class CLanguage;

// The live page's own words, in the program's language (UTF-8). Each has the built-in English text until a
// language gives another.
struct CLiveTexts {
    std::string m_strLanguage = "en"; // the page's language tag
    std::string m_strTitle = "Kalvora Live";
    std::string m_strStartNumber = "Start number";
    std::string m_strStartTime = "Last start time";
    std::string m_strLeadTime = "Lead/leg time";
    std::string m_strLive = "live";                          // monitoring, and the unit answers
    std::string m_strUnitSilent = "no signal from the unit"; // monitoring, and the unit has gone quiet
    std::string m_strNotMonitoring = "not monitoring";
    std::string m_strConnectionLost = "connection lost"; // the page hears nothing from the program
    std::string m_strLights = "Start lights";
    std::string m_strLargeDisplay = "Large display";
    std::string m_strSmallDisplay = "Small display";
    std::string m_strNextStarters = "Next";
    std::string m_strClockOffset = "Unit clock"; // before the offset, "+0.25 s"
    // Past half a second, in place of the offset: %1 is its size ("0.62").
    std::string m_strClockBehind = "the unit's clock is %1 s behind this computer: Set PC Time";
    std::string m_strClockAhead = "the unit's clock is %1 s ahead of this computer: Set PC Time";
    std::string m_strLampOff = "Off";
    std::string m_strLampRed = "Red";
    std::string m_strLampYellow = "Yellow";
    std::string m_strLampGreen = "Green";
    bool operator==(const CLiveTexts&) const = default;
};

// The texts of a loaded language (the IDS_LIVE_* numbers, and the light colours the Parameters dialog names), each
// built-in text kept where the language has none.
CLiveTexts LiveTextsOf(const CLanguage& language);

// The texts as one JSON object for the page ({"language":"en","title":...}); "<", ">" and "&" escaped, so that it
// may stand inside the page.
std::string LiveTextsJson(const CLiveTexts& texts);

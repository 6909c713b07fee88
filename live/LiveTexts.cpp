#include "live/LiveTexts.h"

#include "base/JsonText.h"
#include "i18n/Language.h"
#include "res/Resource.h"

#include <utility>

namespace {

// Each text with its number and its key in the page's JSON.
struct CTextField {
    int m_nId;
    const char* m_pszKey;
    std::string CLiveTexts::*m_member;
};
const CTextField kFields[] = {
    {IDS_LIVE_LANGUAGE, "language", &CLiveTexts::m_strLanguage},
    {IDS_LIVE_TITLE, "title", &CLiveTexts::m_strTitle},
    {IDS_LIVE_START_NUMBER, "startNumber", &CLiveTexts::m_strStartNumber},
    {IDS_LIVE_START_TIME, "startTime", &CLiveTexts::m_strStartTime},
    {IDS_LIVE_LEAD_TIME, "leadTime", &CLiveTexts::m_strLeadTime},
    {IDS_LIVE_LIVE, "live", &CLiveTexts::m_strLive},
    {IDS_LIVE_UNIT_SILENT, "unitSilent", &CLiveTexts::m_strUnitSilent},
    {IDS_LIVE_NOT_MONITORING, "notMonitoring", &CLiveTexts::m_strNotMonitoring},
    {IDS_LIVE_CONNECTION_LOST, "connectionLost", &CLiveTexts::m_strConnectionLost},
    {IDS_LIVE_LIGHTS, "lights", &CLiveTexts::m_strLights},
    {IDS_LIVE_LARGE_DISPLAY, "largeDisplay", &CLiveTexts::m_strLargeDisplay},
    {IDS_LIVE_SMALL_DISPLAY, "smallDisplay", &CLiveTexts::m_strSmallDisplay},
    {IDS_LIVE_NEXT_STARTERS, "nextStarters", &CLiveTexts::m_strNextStarters},
    {IDS_LIVE_CLOCK_OFFSET, "clockOffset", &CLiveTexts::m_strClockOffset},
    {IDS_LIVE_CLOCK_BEHIND, "clockBehind", &CLiveTexts::m_strClockBehind},
    {IDS_LIVE_CLOCK_AHEAD, "clockAhead", &CLiveTexts::m_strClockAhead},
    {IDS_LIGHT_OFF, "lampOff", &CLiveTexts::m_strLampOff},
    {IDS_LIGHT_RED, "lampRed", &CLiveTexts::m_strLampRed},
    {IDS_LIGHT_YELLOW, "lampYellow", &CLiveTexts::m_strLampYellow},
    {IDS_LIGHT_GREEN, "lampGreen", &CLiveTexts::m_strLampGreen},
};

} // namespace

CLiveTexts LiveTextsOf(const CLanguage& language) {
    CLiveTexts texts;
    for (const CTextField& field : kFields) {
        // The rule of the windows: a text that begins with "?" is none.
        std::string strText = language.Lookup(field.m_nId);
        if (!strText.empty() && strText.front() != '?')
            texts.*field.m_member = std::move(strText);
    }
    return texts;
}

std::string LiveTextsJson(const CLiveTexts& texts) {
    std::string text = "{";
    for (const CTextField& field : kFields) {
        text += text.size() > 1 ? "," : "";
        text += JsonStringOfUtf8(field.m_pszKey, EJsonOutput::Ascii) + ":" +
                JsonStringOfUtf8(texts.*field.m_member, EJsonOutput::Ascii);
    }
    text += "}";
    return text;
}

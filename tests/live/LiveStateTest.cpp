// The live page's rules without a socket: the state and texts as JSON, what each request is answered with, which
// addresses a viewer is told to type.

#include "live/LiveState.h"
#include "i18n/Language.h"
#include "live/LivePage.h"
#include "live/LiveRoutes.h"
#include "live/LiveTexts.h"
#include "live/LocalNetwork.h"
#include "res/Resource.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

TEST(LiveJson, TheStateWithEveryPartAndWithoutTheOptionalOnes) {
    EXPECT_EQ(LiveStateJson(CLiveState{}),
              "{\"monitoring\":false,\"unitAnswers\":false,\"large\":\"\",\"small\":\"\","
              "\"lights\":[\"off\",\"off\",\"off\"],\"startNumber\":\"\",\"startTime\":\"\",\"leadTime\":\"\","
              "\"clockOffsetSeconds\":null,\"currentStarter\":null,\"nextStarters\":[]}");

    CLiveState state;
    state.m_bMonitoring = true;
    state.m_bUnitAnswers = true;
    state.m_strLarge = "    0:30";
    state.m_strSmall = "  12";
    state.m_lights = {ELiveLamp::Red, ELiveLamp::Yellow, ELiveLamp::Green};
    state.m_strStartNumber = "11";
    state.m_strStartTime = " 10:15:30.25";
    state.m_strLeadTime = "0:01:30";
    state.m_clockOffsetSeconds = -0.25;
    state.m_currentStarter = CLiveStarter{"12", "Jörg Müller", "OL Zürich", "H45", "10:16:00"};
    state.m_nextStarters = {{"13", "A", "", "", ""}, {"14", "B", "C", "D", "10:18:00"}};
    EXPECT_EQ(LiveStateJson(state),
              "{\"monitoring\":true,\"unitAnswers\":true,\"large\":\"    0:30\",\"small\":\"  12\","
              "\"lights\":[\"red\",\"yellow\",\"green\"],\"startNumber\":\"11\",\"startTime\":\" 10:15:30.25\","
              "\"leadTime\":\"0:01:30\",\"clockOffsetSeconds\":-0.25,"
              "\"currentStarter\":{\"startNumber\":\"12\",\"name\":\"J\\u00f6rg M\\u00fcller\","
              "\"club\":\"OL Z\\u00fcrich\",\"class\":\"H45\",\"plannedTime\":\"10:16:00\"},"
              "\"nextStarters\":[{\"startNumber\":\"13\",\"name\":\"A\",\"club\":\"\",\"class\":\"\","
              "\"plannedTime\":\"\"},{\"startNumber\":\"14\",\"name\":\"B\",\"club\":\"C\",\"class\":\"D\","
              "\"plannedTime\":\"10:18:00\"}]}");
}

TEST(LiveJson, AClockOffsetIsTheShortestNumberThatReadsBackOrNull) {
    const struct {
        double dValue;
        const char* pszJson;
    } kRows[] = {
        {0.0, "0"},
        {0.1, "0.1"},
        {-3600.5, "-3600.5"},
        {1.0 / 3.0, "0.3333333333333333"},
        {std::numeric_limits<double>::quiet_NaN(), "null"},
        {std::numeric_limits<double>::infinity(), "null"},
    };
    for (const auto& row : kRows) {
        CLiveState state;
        state.m_clockOffsetSeconds = row.dValue;
        EXPECT_THAT(LiveStateJson(state), HasSubstr(std::string("\"clockOffsetSeconds\":") + row.pszJson + ","));
    }
}

TEST(LiveRoutes, EachRequestIsAnsweredByItsMethodAndPath) {
    const struct {
        const char* pszMethod;
        const char* pszTarget;
        CLiveRoute route;
    } kRows[] = {
        {"GET", "/", {200, ELiveResource::Page}},
        {"HEAD", "/", {200, ELiveResource::Page}},
        {"GET", "/?show=countdown", {200, ELiveResource::Page}},
        {"GET", "/overlay", {200, ELiveResource::Overlay}},
        {"GET", "/overlay?show=countdown,lights", {200, ELiveResource::Overlay}},
        {"GET", "/events", {200, ELiveResource::Events}},
        {"GET", "/state.json", {200, ELiveResource::StateJson}},
        {"GET", "/state.json?t=1", {200, ELiveResource::StateJson}},
        {"GET", "/live.css", {200, ELiveResource::Style}},
        {"GET", "/live.js", {200, ELiveResource::Script}},
        {"GET", "/display.ttf", {200, ELiveResource::Font}},
        {"POST", "/", {405, ELiveResource::None}},
        {"PUT", "/state.json", {405, ELiveResource::None}},
        {"OPTIONS", "*", {405, ELiveResource::None}},
        {"get", "/", {405, ELiveResource::None}},
        {"", "/", {405, ELiveResource::None}},
        {"GET", "*", {400, ELiveResource::None}},
        {"GET", "", {400, ELiveResource::None}},
        {"GET", "http://127.0.0.1/", {400, ELiveResource::None}},
        {"GET", "state.json", {400, ELiveResource::None}},
        {"GET", "/../", {404, ELiveResource::None}},
        {"GET", "/./state.json", {404, ELiveResource::None}},
        {"GET", "/%73tate.json", {404, ELiveResource::None}},
        {"GET", "/overlay/", {404, ELiveResource::None}},
        {"GET", "/Overlay", {404, ELiveResource::None}},
        {"GET", "/favicon.ico", {404, ELiveResource::None}},
        {"GET", "/live.html", {404, ELiveResource::None}},
        {"GET", "/state.json#x", {404, ELiveResource::None}},
        {"GET", "/?", {200, ELiveResource::Page}},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(std::string(row.pszMethod) + " " + row.pszTarget);
        EXPECT_EQ(RouteLiveRequest(row.pszMethod, row.pszTarget), row.route);
    }
}

TEST(LiveTexts, BuiltInEnglishUntilALanguageGivesItsOwn) {
    const CLiveTexts builtIn;
    EXPECT_EQ(LiveTextsOf(CLanguage{}), builtIn);
    EXPECT_EQ(builtIn.m_strConnectionLost, "connection lost");
    EXPECT_EQ(builtIn.m_strNotMonitoring, "not monitoring");

    CLanguage language;
    language.LoadFromTexts("[Identifiers]\nLOST=1128\nTITLE=1121\nQUESTION=1127\nRED=1085\n",
                           "[Strings]\nLOST=Verbindung weg\nTITLE=\nQUESTION=?egal\nRED=Rot\n");
    const CLiveTexts texts = LiveTextsOf(language);
    EXPECT_EQ(texts.m_strConnectionLost, "Verbindung weg");
    EXPECT_EQ(texts.m_strTitle, builtIn.m_strTitle);                 // an empty text is none
    EXPECT_EQ(texts.m_strNotMonitoring, builtIn.m_strNotMonitoring); // a text that begins with "?" is none
    EXPECT_EQ(texts.m_strLampRed, "Rot");                            // the Parameters dialog's colour names
    EXPECT_EQ(texts.m_strLive, builtIn.m_strLive);
}

TEST(LiveTexts, TheShippedLanguagesNameEveryTextOfThePage) {
    for (const char* pszLanguage : {"English", "Deutsch"}) {
        SCOPED_TRACE(pszLanguage);
        CLanguage language;
        language.Load(std::string(KALVORA_SOURCE_DIR) + "/res", pszLanguage);
        for (int nId = IDS_LIVE_LANGUAGE; nId <= IDS_LIVE_CLOCK_AHEAD; ++nId)
            EXPECT_NE(language.Lookup(nId), "?") << nId;
    }
    CLanguage german;
    german.Load(std::string(KALVORA_SOURCE_DIR) + "/res", "Deutsch");
    const CLiveTexts texts = LiveTextsOf(german);
    EXPECT_EQ(texts.m_strLanguage, "de");
    EXPECT_EQ(texts.m_strConnectionLost, "Verbindung unterbrochen");
    EXPECT_EQ(texts.m_strLampGreen, "Grün");
    EXPECT_THAT(LiveTextsJson(texts), HasSubstr("\"lampGreen\":\"Gr\\u00fcn\""));
    // English as shipped is the built-in English.
    CLanguage english;
    english.Load(std::string(KALVORA_SOURCE_DIR) + "/res", "English");
    EXPECT_EQ(LiveTextsOf(english), CLiveTexts{});
}

TEST(LivePage, ThePageCarriesItsModeLanguageTitleAndTextsAndNothingThatEndsItsBlocks) {
    CLiveTexts texts;
    texts.m_strLanguage = "de\"><script>";
    texts.m_strTitle = "Kalvora & <Live>";
    texts.m_strLive = "</script><script>alert(1)</script>";
    const std::string strPage = LivePageBody(ELiveResource::Page, texts);
    EXPECT_THAT(strPage, HasSubstr("<html lang=\"de&quot;&gt;&lt;script&gt;\" class=\"page\">"));
    EXPECT_THAT(strPage, HasSubstr("<title>Kalvora &amp; &lt;Live&gt;</title>"));
    EXPECT_THAT(strPage, HasSubstr("\"live\":\"\\u003c/script\\u003e\\u003cscript\\u003ealert(1)"));
    EXPECT_THAT(strPage, Not(HasSubstr("{{")));
    EXPECT_THAT(LivePageBody(ELiveResource::Overlay, texts), HasSubstr("class=\"overlay\">"));
    // The page asks for nothing but its own files.
    for (const ELiveResource resource : {ELiveResource::Page, ELiveResource::Style, ELiveResource::Script}) {
        const std::string strBody = LivePageBody(resource, texts);
        EXPECT_FALSE(strBody.empty());
        EXPECT_THAT(strBody, Not(HasSubstr("http://")));
        EXPECT_THAT(strBody, Not(HasSubstr("https://")));
    }
    EXPECT_EQ(LivePageBody(ELiveResource::Events, texts), "");
    EXPECT_EQ(LivePageBody(ELiveResource::StateJson, texts), "");
}

TEST(LiveAddresses, ViewersAreToldThePrivateNetworksFirstAndNeverLoopback) {
    const struct {
        std::vector<std::string> addresses;
        std::vector<std::string> viewer;
    } kRows[] = {
        {{}, {}},
        {{"127.0.0.1"}, {}},
        {{"127.0.0.1", "192.168.1.20"}, {"192.168.1.20"}},
        {{"172.17.0.1", "10.0.0.5", "192.168.178.30"}, {"192.168.178.30", "10.0.0.5", "172.17.0.1"}},
        {{"169.254.3.4", "203.0.113.9", "172.32.0.1", "172.31.9.9"},
         {"172.31.9.9", "203.0.113.9", "172.32.0.1", "169.254.3.4"}},
        {{"192.168.1.20", "192.168.1.20", "192.168.2.1"}, {"192.168.1.20", "192.168.2.1"}},
        {{"0.0.0.0", "127.5.5.5", "not an address", "1.2.3", "1.2.3.4.5", "256.1.1.1", "01234.1.1.1"}, {}},
        {{"192.168.0.1", "10.1.1.1", "192.168.0.2"}, {"192.168.0.1", "192.168.0.2", "10.1.1.1"}},
    };
    for (const auto& row : kRows)
        EXPECT_EQ(ViewerAddresses(row.addresses), row.viewer);
}

TEST(LiveAddresses, TheSystemListsItsInterfacesLoopbackIncluded) {
    const std::vector<std::string> addresses = InterfaceIPv4Addresses();
    EXPECT_THAT(addresses, ::testing::Contains("127.0.0.1"));
    for (const std::string& strAddress : addresses) // each in dotted form
        EXPECT_TRUE(strAddress.starts_with("127.") || ViewerAddresses({strAddress}).size() == 1) << strAddress;
}

} // namespace

// A live page's server holding one fixed state with every part the page can show, the start list's included, for
// the browser tests of the page's layout: `LiveFixtureServer [LANGUAGE [CLOCK_OFFSET]]` serves on a free port of
// 127.0.0.1 until it is ended, and says where on standard error as kalvora-cli does. The clock offset is 0.25 s unless
// given (past half a second the page shows its warning in its place).

#include "i18n/Language.h"
#include "live/LiveServer.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

int main(int argc, char** argv) {
    CLiveServer server;
    if (argc > 1) {
        CLanguage language;
        language.Load(std::string(KALVORA_SOURCE_DIR) + "/res", argv[1]);
        server.SetTexts(LiveTextsOf(language));
    }
    CLiveState state;
    state.m_bMonitoring = true;
    state.m_bUnitAnswers = true;
    state.m_strLarge = "   10:00";
    state.m_strSmall = " 118";
    state.m_lights = {ELiveLamp::Red, ELiveLamp::Off, ELiveLamp::Off};
    state.m_strStartNumber = "117";
    state.m_strStartTime = " 10:13:00.04";
    state.m_strLeadTime = "0:01:00";
    state.m_clockOffsetSeconds = argc > 2 ? std::strtod(argv[2], nullptr) : 0.25;
    state.m_currentStarter =
        CLiveStarter{"118", "Anna-Katharina Berg-Lindqvist", "SK Nordlicht Hamburg-Harburg", "D21E", "10:15:00"};
    state.m_nextStarters = {
        {"119", "Jörg Müller", "OL Zürich", "H45", "10:16:00"},
        {"120", "Åsa Öberg", "IFK Göteborg", "D35", "10:17:00"},
        {"121", "Wojciech Szczęsny-Kowalczyk", "UKS Orientuś Wrocław", "H21E", "10:18:00"},
    };
    server.Publish(state);
    const CLiveServer::CStartResult result = server.Start("127.0.0.1", 0);
    if (!result.m_bOk) {
        std::fprintf(stderr, "LiveFixtureServer: %s\n", result.m_strError.c_str());
        return 1;
    }
    std::fprintf(stderr, "LiveFixtureServer: live page at http://127.0.0.1:%u/\n", server.Port());
    std::fflush(stderr);
    for (;;)
        std::this_thread::sleep_for(std::chrono::hours{1});
}

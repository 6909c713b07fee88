#include "live/LiveShare.h"
#include "live/LiveServer.h"
#include "live/PortProbe.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

TEST(LiveShare, TheAddressToOpen) {
    const struct {
        const char* address;
        int nPort;
        const char* url;
    } rows[] = {
        {"192.168.1.20", 8080, "http://192.168.1.20:8080/"},
        {"10.0.0.1", 1, "http://10.0.0.1:1/"},
        {"255.255.255.255", 65535, "http://255.255.255.255:65535/"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(LivePageUrl(row.address, row.nPort), row.url);
}

TEST(LiveShare, ATypedPortIsOneTo65535InDigits) {
    const struct {
        const char* text;
        std::optional<int> nPort;
    } rows[] = {
        {"8080", 8080},
        {"1", 1},
        {"65535", 65535},
        {"008081", 8081},
        {"", std::nullopt},
        {"0", std::nullopt},
        {"00000", std::nullopt},
        {"65536", std::nullopt},
        {"99999999999", std::nullopt},
        {"-80", std::nullopt},
        {"+80", std::nullopt},
        {" 8080", std::nullopt},
        {"8080 ", std::nullopt},
        {"80a", std::nullopt},
        {"\xEF\xBC\x98", std::nullopt}, // a full-width digit
    };
    for (const auto& row : rows)
        EXPECT_EQ(ParseLivePort(row.text), row.nPort) << '"' << row.text << '"';
}

TEST(LiveShare, TheServersWordsSayWhyAPortFailed) {
    const struct {
        const char* error;
        ELiveShareFailure failure;
    } rows[] = {
        {"in use", ELiveShareFailure::InUse}, {"not allowed", ELiveShareFailure::NotAllowed},
        {"In use", ELiveShareFailure::Other}, {"Cannot assign requested address", ELiveShareFailure::Other},
        {"", ELiveShareFailure::Other},
    };
    for (const auto& row : rows)
        EXPECT_EQ(LiveShareFailureOf(row.error), row.failure) << row.error;
}

TEST(LiveShare, APortAnswersWhileAProgramListensThere) {
    CLiveServer server;
    ASSERT_TRUE(server.Start("127.0.0.1", 0).m_bOk);
    const unsigned short nPort = server.Port();
    EXPECT_TRUE(IsPortAnswering(nPort));
    server.Stop();
    EXPECT_FALSE(IsPortAnswering(nPort));
}

TEST(LiveShare, MessagesTakeTheirValuesInPlace) {
    const struct {
        const char* text;
        const char* first;
        const char* second;
        const char* filled;
    } rows[] = {
        {"Port %1 is in use.", "8080", "", "Port 8080 is in use."},
        {"Port %1 (%2).", "81", "access denied", "Port 81 (access denied)."},
        {"%2 before %1", "one", "two", "two before one"},
        {"%1%1", "x", "", "xx"},
        {"100% sure, %3 and %", "8080", "", "100% sure, %3 and %"},
        {"%%1", "7", "", "%7"},
        {"No value", "8080", "why", "No value"},
        {"Werte: %1 \xC3\xBC %2", "%2", "%1", "Werte: %2 \xC3\xBC %1"}, // values are not read again
    };
    for (const auto& row : rows)
        EXPECT_EQ(FillInMessage(row.text, row.first, row.second), row.filled) << row.text;
}

} // namespace

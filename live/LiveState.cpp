#include "live/LiveState.h"

#include "base/JsonText.h"

#include <charconv>
#include <cmath>

namespace {

const char* LampName(ELiveLamp eLamp) {
    switch (eLamp) {
    case ELiveLamp::Red:
        return "\"red\"";
    case ELiveLamp::Green:
        return "\"green\"";
    case ELiveLamp::Yellow:
        return "\"yellow\"";
    case ELiveLamp::Off:
        break;
    }
    return "\"off\"";
}

// The shortest decimal text that reads back as the same number; null for what JSON has no number for.
std::string JsonNumber(double value) {
    if (!std::isfinite(value))
        return "null";
    char szText[32];
    const auto result = std::to_chars(szText, szText + sizeof szText, value);
    return std::string(szText, result.ptr);
}

std::string StarterJson(const CLiveStarter& starter) {
    return "{\"startNumber\":" + JsonStringOfUtf8(starter.m_strStartNumber, EJsonOutput::Ascii) +
           ",\"name\":" + JsonStringOfUtf8(starter.m_strName, EJsonOutput::Ascii) +
           ",\"club\":" + JsonStringOfUtf8(starter.m_strClub, EJsonOutput::Ascii) +
           ",\"class\":" + JsonStringOfUtf8(starter.m_strClass, EJsonOutput::Ascii) +
           ",\"plannedTime\":" + JsonStringOfUtf8(starter.m_strPlannedTime, EJsonOutput::Ascii) + "}";
}

} // namespace

std::string LiveStateJson(const CLiveState& state) {
    std::string text = "{\"monitoring\":";
    text += state.m_bMonitoring ? "true" : "false";
    text += ",\"unitAnswers\":";
    text += state.m_bUnitAnswers ? "true" : "false";
    text += ",\"large\":" + JsonStringOfBytes(state.m_strLarge, EJsonOutput::Ascii);
    text += ",\"small\":" + JsonStringOfBytes(state.m_strSmall, EJsonOutput::Ascii);
    text += ",\"lights\":[";
    for (std::size_t i = 0; i < state.m_lights.size(); ++i) {
        text += i == 0 ? "" : ",";
        text += LampName(state.m_lights[i]);
    }
    text += "],\"startNumber\":" + JsonStringOfBytes(state.m_strStartNumber, EJsonOutput::Ascii);
    text += ",\"startTime\":" + JsonStringOfBytes(state.m_strStartTime, EJsonOutput::Ascii);
    text += ",\"leadTime\":" + JsonStringOfBytes(state.m_strLeadTime, EJsonOutput::Ascii);
    text += ",\"clockOffsetSeconds\":";
    text += state.m_clockOffsetSeconds ? JsonNumber(*state.m_clockOffsetSeconds) : "null";
    text += ",\"currentStarter\":";
    text += state.m_currentStarter ? StarterJson(*state.m_currentStarter) : "null";
    text += ",\"nextStarters\":[";
    for (std::size_t i = 0; i < state.m_nextStarters.size(); ++i) {
        text += i == 0 ? "" : ",";
        text += StarterJson(state.m_nextStarters[i]);
    }
    text += "]}";
    return text;
}

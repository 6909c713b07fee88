#include "startlist/StartList.h"

#include "base/TextRules.h"

void CStartList::Add(CStarter starter) {
    const auto [it, bNew] = m_byNumber.try_emplace(starter.m_nStartNumber, m_starters.size());
    if (!bNew) {
        const CStarter& first = m_starters[it->second];
        AddProblem(starter.m_nLine, "start number " + std::to_string(starter.m_nStartNumber) + " is already on line " +
                                        std::to_string(first.m_nLine) + "; the first one is kept");
        return;
    }
    m_starters.push_back(std::move(starter));
}

void CStartList::AddProblem(int nLine, std::string strReason) {
    m_problems.push_back({nLine, std::move(strReason)});
}

const CStarter* CStartList::Find(int nStartNumber) const {
    const auto it = m_byNumber.find(nStartNumber);
    return it == m_byNumber.end() ? nullptr : &m_starters[it->second];
}

const CStarter* CStartList::Find(std::string_view unitNumber) const {
    const std::optional<int> nNumber = UnitStartNumber(unitNumber);
    return nNumber ? Find(*nNumber) : nullptr;
}

const CStarter* CStartList::FindFirstAbove(int nStartNumber) const {
    const auto it = m_byNumber.upper_bound(nStartNumber);
    return it == m_byNumber.end() ? nullptr : &m_starters[it->second];
}

std::optional<int> UnitStartNumber(std::string_view text) {
    text = TrimBlanks(text);
    if (text.empty())
        return std::nullopt;
    int nValue = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        nValue = nValue * 10 + (c - '0');
        if (nValue > kLastUnitStartNumber)
            return std::nullopt;
    }
    return nValue;
}

std::string ProblemLines(const std::vector<CStartListProblem>& problems) {
    std::string text;
    for (const CStartListProblem& problem : problems)
        text += "line " + std::to_string(problem.m_nLine) + ": " + problem.m_strReason + "\n";
    return text;
}

std::string FullName(std::string_view given, std::string_view family) {
    std::string strName(given);
    if (!strName.empty() && !family.empty())
        strName += ' ';
    return strName += family;
}

std::string InQuotes(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

#pragma once

// A start list read, as lines of text a test compares with a table's rows: its starters, each by the reader's own
// summary, and the rows it left out, each "line: reason".

#include "startlist/StartList.h"

#include <string>
#include <vector>

using Texts = std::vector<std::string>;

template <typename Summary>
Texts StarterTexts(const CStartList& list, Summary summary) {
    Texts texts;
    for (const CStarter& starter : list.Starters())
        texts.push_back(summary(starter));
    return texts;
}

inline Texts Problems(const CStartList& list) {
    Texts texts;
    for (const CStartListProblem& problem : list.Problems())
        texts.push_back(std::to_string(problem.m_nLine) + ": " + problem.m_strReason);
    return texts;
}

// Byte strings of the ANSI code page: letter case, searches that step over
// double-byte characters, and the ";"-list split. The C run time's share of
// the platform; header-only, and it calls nothing but OsIsDbcsLeadByte, so
// the logger may use it while it holds its lock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "OsSystem.h"

// ASCII capitals to small letters; every other byte unchanged.
inline char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

inline void LowerAscii(char* psz) {
    for (; *psz; ++psz) *psz = LowerAscii(*psz);
}

inline void LowerAscii(std::string& str) {
    for (char& c : str) c = LowerAscii(c);
}

// First `ch` in a text, stepping over double-byte characters (a trail byte is
// never taken for it); null if none.
inline const char* FindCharMb(const char* pszText, char ch) {
    for (const char* p = pszText; *p; ++p) {
        if (*p == ch) return p;
        if (OsIsDbcsLeadByte(uint8_t(*p)) && p[1]) ++p;
    }
    return nullptr;
}

// Last `ch` in a text, stepping over double-byte characters; null if none.
inline const char* FindLastCharMb(const char* pszText, char ch) {
    const char* pszLast = nullptr;
    for (const char* p = pszText; *p; ++p) {
        if (*p == ch)
            pszLast = p;
        else if (OsIsDbcsLeadByte(uint8_t(*p)) && p[1])
            ++p;
    }
    return pszLast;
}

// Whole-text comparison ignoring ASCII letter case, stepping over double-byte
// characters (whose bytes compare exactly).
inline bool EqualNoCaseMb(const char* pszA, const char* pszB) {
    while (*pszA && *pszB) {
        if (OsIsDbcsLeadByte(uint8_t(*pszA))) {
            if (pszA[0] != pszB[0] || !pszA[1] || pszA[1] != pszB[1]) return false;
            pszA += 2;
            pszB += 2;
            continue;
        }
        if (LowerAscii(*pszA) != LowerAscii(*pszB)) return false;
        ++pszA;
        ++pszB;
    }
    return *pszA == *pszB;
}

// Appends the pieces of the text between separators, in order, leaving out
// empty ones; returns the number of entries the list holds afterwards.
inline int SplitText(const std::string& strText, std::vector<std::string>& vecList, char chSeparator) {
    size_t nStart = 0;
    while (nStart <= strText.size()) {
        size_t nEnd = strText.find(chSeparator, nStart);
        if (nEnd == std::string::npos) nEnd = strText.size();
        if (nEnd > nStart) vecList.push_back(strText.substr(nStart, nEnd - nStart));
        nStart = nEnd + 1;
    }
    return int(vecList.size());
}

// CString.
#include <afxstr.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <strings.h>

char CString::GetAt(int nIndex) const {
    return nIndex >= 0 && nIndex < GetLength() ? m_str[static_cast<size_t>(nIndex)] : '\0';
}

CString& CString::operator+=(LPCSTR psz) {
    if (psz) m_str += psz;
    return *this;
}

CString& CString::operator+=(char ch) {
    m_str.push_back(ch);
    return *this;
}

int CString::Compare(LPCSTR psz) const { return strcmp(m_str.c_str(), psz ? psz : ""); }

int CString::CompareNoCase(LPCSTR psz) const { return strcasecmp(m_str.c_str(), psz ? psz : ""); }

void CString::Format(LPCSTR pszFormat, ...) {
    if (!pszFormat) {
        m_str.clear();
        return;
    }
    char buffer[1025];
    va_list args;
    va_start(args, pszFormat);
    int n = vsnprintf(buffer, sizeof buffer, pszFormat, args);
    va_end(args);
    m_str.assign(buffer,
                 n < 0 ? 0 : (static_cast<size_t>(n) < sizeof buffer ? static_cast<size_t>(n) : sizeof buffer - 1));
}

LPSTR CString::GetBuffer(int nMinBufLength) {
    size_t wanted = nMinBufLength > 0 ? static_cast<size_t>(nMinBufLength) : 0;
    if (m_str.size() < wanted) m_str.resize(wanted);
    return &m_str[0];
}

void CString::ReleaseBuffer(int nNewLength) {
    size_t length = nNewLength < 0 ? strnlen(m_str.c_str(), m_str.size()) : static_cast<size_t>(nNewLength);
    if (length < m_str.size()) m_str.resize(length);
}

// CString of the small framework: an 8-bit string (code page 932 texts) with
// value semantics, as the dialog data exchange and the module use it.
#ifndef AFX_STR_H
#define AFX_STR_H

#include <windows.h>

#include <string>

class CString {
public:
    CString() = default;
    CString(LPCSTR psz) : m_str(psz ? psz : "") {}
    CString(const CString&) = default;
    CString& operator=(const CString&) = default;
    CString& operator=(LPCSTR psz) {
        m_str = psz ? psz : "";
        return *this;
    }
    ~CString() = default;

    operator LPCSTR() const { return m_str.c_str(); }
    LPCSTR GetString() const { return m_str.c_str(); }
    int GetLength() const { return static_cast<int>(m_str.size()); }
    BOOL IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }
    char GetAt(int nIndex) const;

    CString& operator+=(LPCSTR psz);
    CString& operator+=(char ch);

    int Compare(LPCSTR psz) const;
    int CompareNoCase(LPCSTR psz) const;

    // printf-style formatting; the text is cut at 1024 bytes.
    void Format(LPCSTR pszFormat, ...) __attribute__((format(printf, 2, 3)));

    // A writable buffer of at least nMinBufLength bytes plus the NUL;
    // ReleaseBuffer takes the text up to the NUL (nNewLength < 0) or the
    // given length.
    LPSTR GetBuffer(int nMinBufLength);
    void ReleaseBuffer(int nNewLength = -1);

private:
    std::string m_str;
};

inline bool operator==(const CString& a, LPCSTR b) { return a.Compare(b) == 0; }
inline bool operator!=(const CString& a, LPCSTR b) { return a.Compare(b) != 0; }

#endif

// Code page conversions through iconv: the ANSI code page is 932, as on the
// Japanese Windows the host runs on.
#include <windows.h>
#include <win32_control.h>

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace {

const char* CodePageName(UINT codePage) {
    switch (codePage) {
        case CP_ACP:
        case 932:
            return "CP932";
        case CP_UTF8:
            return "UTF-8";
        default:
            return nullptr;
    }
}

// Converts, replacing what the target cannot hold by '?'. Returns false on a
// code page that is not supported.
bool Convert(const char* to, const char* from, const char* in, size_t inSize, std::string& out) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    out.clear();
    char buffer[256];
    char* src = const_cast<char*>(in);
    size_t left = inSize;
    while (left > 0) {
        char* dst = buffer;
        size_t room = sizeof buffer;
        size_t r = iconv(cd, &src, &left, &dst, &room);
        out.append(buffer, dst - buffer);
        if (r == static_cast<size_t>(-1) && errno != E2BIG) {
            out.push_back('?');  // an invalid or unconvertible byte
            ++src;
            --left;
        }
    }
    iconv_close(cd);
    return true;
}

}  // namespace

WIN32_API size_t W32Cp932ToUtf8(const char* text, char* out, size_t outSize) {
    if (!out || outSize == 0) return 0;
    std::string converted;
    if (!text || !Convert("UTF-8", "CP932", text, strlen(text), converted)) converted = text ? text : "";
    size_t n = converted.size() < outSize - 1 ? converted.size() : outSize - 1;
    memcpy(out, converted.data(), n);
    out[n] = '\0';
    return n;
}

WIN32_API int WINAPI MultiByteToWideChar(UINT CodePage, DWORD, LPCSTR lpMultiByteStr, int cbMultiByte,
                                         WCHAR* lpWideCharStr, int cchWideChar) {
    const char* from = CodePageName(CodePage);
    if (!from || !lpMultiByteStr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t inSize = cbMultiByte < 0 ? strlen(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);
    std::string wide;
    Convert("UTF-16LE", from, lpMultiByteStr, inSize, wide);
    int count = static_cast<int>(wide.size() / 2);
    if (cchWideChar == 0) return count;
    if (count > cchWideChar) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    memcpy(lpWideCharStr, wide.data(), count * 2);
    return count;
}

WIN32_API int WINAPI WideCharToMultiByte(UINT CodePage, DWORD, const WCHAR* lpWideCharStr, int cchWideChar,
                                         LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR, LPBOOL) {
    const char* to = CodePageName(CodePage);
    if (!to || !lpWideCharStr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t count = 0;
    if (cchWideChar < 0) {
        while (lpWideCharStr[count]) ++count;
        ++count;  // the terminator is converted too
    } else {
        count = static_cast<size_t>(cchWideChar);
    }
    std::string narrow;
    Convert(to, "UTF-16LE", reinterpret_cast<const char*>(lpWideCharStr), count * 2, narrow);
    int size = static_cast<int>(narrow.size());
    if (cbMultiByte == 0) return size;
    if (size > cbMultiByte) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    memcpy(lpMultiByteStr, narrow.data(), size);
    return size;
}

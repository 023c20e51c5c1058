// Extension-module registration.
#include <afxdllx.h>

namespace {
CDynLinkLibrary* g_pFirstDLL = nullptr;
}

BOOL AfxInitExtensionModule(AFX_EXTENSION_MODULE& state, HMODULE hModule) {
    if (!hModule) return FALSE;
    state.hModule = hModule;
    state.hResource = hModule;
    state.bInitialized = TRUE;
    return TRUE;
}

void AfxTermExtensionModule(AFX_EXTENSION_MODULE& state, BOOL) {
    for (CDynLinkLibrary* p = g_pFirstDLL; p;) {
        CDynLinkLibrary* next = p->m_pNextDLL;
        if (p->m_hModule == state.hModule) delete p;
        p = next;
    }
    state.bInitialized = FALSE;
}

IMPLEMENT_DYNAMIC(CDynLinkLibrary, CObject)

CDynLinkLibrary::CDynLinkLibrary(AFX_EXTENSION_MODULE& state)
    : m_hModule(state.hModule), m_hResource(state.hResource), m_pNextDLL(g_pFirstDLL) {
    g_pFirstDLL = this;
}

CDynLinkLibrary::~CDynLinkLibrary() {
    for (CDynLinkLibrary** pp = &g_pFirstDLL; *pp; pp = &(*pp)->m_pNextDLL) {
        if (*pp == this) {
            *pp = m_pNextDLL;
            break;
        }
    }
}

CDynLinkLibrary* AfxGetFirstDynLinkLibrary() { return g_pFirstDLL; }

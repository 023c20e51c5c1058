// Extension-module registration of a library built on the framework.
#ifndef AFX_DLLX_H
#define AFX_DLLX_H

#include "afx.h"

struct AFX_EXTENSION_MODULE {
    BOOL bInitialized;
    HMODULE hModule;
    HMODULE hResource;
};

// Fills the record for the library; FALSE when it cannot be registered.
BOOL AfxInitExtensionModule(AFX_EXTENSION_MODULE& state, HMODULE hModule);
void AfxTermExtensionModule(AFX_EXTENSION_MODULE& state, BOOL bAll = FALSE);

// The library's entry in the chain of modules searched for resources.
class CDynLinkLibrary : public CObject {
    DECLARE_DYNAMIC(CDynLinkLibrary)
public:
    explicit CDynLinkLibrary(AFX_EXTENSION_MODULE& state);
    ~CDynLinkLibrary() override;

    HMODULE m_hModule;
    HMODULE m_hResource;
    CDynLinkLibrary* m_pNextDLL;
};

// The chain head, newest first; for tests and for resource lookups.
CDynLinkLibrary* AfxGetFirstDynLinkLibrary();

#endif

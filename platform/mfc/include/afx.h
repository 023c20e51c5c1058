// Core of the small framework that stands in for MFC: run-time classes,
// CObject, exceptions, message boxes and module state. Written over the
// Win32 API, so the same code serves both platforms.
#ifndef AFX_CORE_H
#define AFX_CORE_H

#include <windows.h>

struct CRuntimeClass;

class CObject {
public:
    virtual CRuntimeClass* GetRuntimeClass() const;
    virtual ~CObject() = default;
    virtual void Serialize(class CArchive& ar);
    virtual void AssertValid() const;
    virtual void Dump(class CDumpContext& dc) const;

    BOOL IsKindOf(const CRuntimeClass* pClass) const;

    static CRuntimeClass classCObject;

protected:
    CObject() = default;

private:
    CObject(const CObject&) = delete;
    CObject& operator=(const CObject&) = delete;
};

struct CRuntimeClass {
    LPCSTR m_lpszClassName;
    int m_nObjectSize;
    UINT m_wSchema;
    CObject* (*m_pfnCreateObject)();
    CRuntimeClass* m_pBaseClass;

    BOOL IsDerivedFrom(const CRuntimeClass* pBaseClass) const;
};

#define RUNTIME_CLASS(class_name) (&class_name::class##class_name)

#define DECLARE_DYNAMIC(class_name)         \
public:                                     \
    static CRuntimeClass class##class_name; \
    CRuntimeClass* GetRuntimeClass() const override;

#define IMPLEMENT_DYNAMIC(class_name, base_class_name)                                                          \
    CRuntimeClass class_name::class##class_name = {#class_name, (int)sizeof(class class_name), 0xFFFF, nullptr, \
                                                   RUNTIME_CLASS(base_class_name)};                             \
    CRuntimeClass* class_name::GetRuntimeClass() const { return RUNTIME_CLASS(class_name); }

// Exceptions: the framework throws pointers to CException-derived objects,
// which the catcher deletes.
class CException : public CObject {
    DECLARE_DYNAMIC(CException)
public:
    CException() = default;
    void Delete() { delete this; }
};

class CMemoryException : public CException {
    DECLARE_DYNAMIC(CMemoryException)
};

[[noreturn]] void AfxThrowMemoryException();

#define TRY try
#define CATCH(class_name, e) catch (class_name * e)
#define AND_CATCH(class_name, e) catch (class_name * e)
#define END_CATCH

// Message box owned by the application's main window; help id unused.
int AfxMessageBox(LPCSTR lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);

// Module state: the one part that the framework's users reach is the
// current resource handle, where templates and dialog-init data are looked up.
struct AFX_MODULE_STATE {
    HINSTANCE m_hCurrentInstanceHandle;
    HINSTANCE m_hCurrentResourceHandle;
};

AFX_MODULE_STATE* AfxGetModuleState();
HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE hInstResource);

#endif

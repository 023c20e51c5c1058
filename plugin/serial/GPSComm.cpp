// The GPS link object's construction and its small member operations.
#include "serial/GPSComm.h"

#include <crt_compat.h>

#include <cstring>

IMPLEMENT_DYNAMIC(CGPSComm, CObject)

CGPSComm::CGPSComm()
    : m_hComm(INVALID_HANDLE_VALUE),
      m_nProtocol(NT_RECEIVER_NMEA),
      m_bRunning(0),
      m_nLineLength(0),
      m_dHeldCourse(0.0),
      m_bCourseHeld(0),
      m_nFixSpeed(-1),
      m_bAnyTalker(0) {
    memset(m_szPort, 0, sizeof m_szPort);
    strcpy(m_szPort, "COM1");
    memset(m_szLine, 0, sizeof m_szLine);
    // Loads the zone that ToLocalTime applies.
    _tzset();
}

// The port is closed by the stop operation, never here.
CGPSComm::~CGPSComm() {}

void CGPSComm::Serialize(CArchive&) {}
void CGPSComm::AssertValid() const {}
void CGPSComm::Dump(CDumpContext&) const {}

int CGPSComm::IsRunning() const { return m_bRunning.load(); }

// Clears the flag before the mask change, so the woken thread sees it.
void CGPSComm::RequestStop() {
    m_bRunning.store(0);
    SetCommMask(m_hComm, EV_ERR);
}

void CGPSComm::ClosePort() { CloseHandle(m_hComm); }

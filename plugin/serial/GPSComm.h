// The GPS link object: one per run of live navigation. Owns the serial port,
// the line assembler and the course-hold state that the decoders work on.
#pragma once

#include <afx.h>

#include <atomic>

#include "serial/ReceiverType.h"

// The line assembler's buffer: a line of up to NT_LINE_SIZE - 1 characters
// and its NUL.
#define NT_LINE_SIZE 256

class CGPSComm : public CObject {
    DECLARE_DYNAMIC(CGPSComm)

public:
    CGPSComm();
    ~CGPSComm() override;

    void Serialize(CArchive& ar) override;
    void AssertValid() const override;
    void Dump(CDumpContext& dc) const override;

    int Open();
    int IsRunning() const;
    void RequestStop();
    void ClosePort();

    // Line assembler, fed by the receiver thread.
    void PutText(const char* pszText);
    void PutChar(char c);

    // Decodes m_szLine into g_GpsNaviInfo and sends the record once.
    void DecodeLine();
    void HoldCourse();

    // Field tokenizer and conversions; they touch no member.
    static void GetField(char** ppCursor, char* pszOut);
    static double GetFieldDouble(char** ppCursor);
    static int GetFieldInt(char** ppCursor);
    static double ToDegrees(double dValue);
    static void ToLocalTime(char* pszTime);
    static void ToDateYYMMDD(char* pszDate);

    HANDLE m_hComm;
    int m_nProtocol;
    // Written by the UI thread, read by the receiver thread at every turn.
    std::atomic<int> m_bRunning;
    char m_szPort[80];
    char m_szLine[NT_LINE_SIZE];
    int m_nLineLength;
    double m_dHeldCourse;
    int m_bCourseHeld;
    int m_nFixSpeed;
    // 1: the position sentences are taken from any talker, not only "$GP".
    int m_bAnyTalker;

private:
    void DecodeNmea();
    void DecodeSony();
};

// The receiver thread of a GPS link and its sentence framing.
#pragma once

#include <windows.h>

#include "serial/GPSComm.h"

// Sizes of the receiver thread's buffers: one read and its NUL, one cut
// sentence and its NUL, and the received text not yet cut. A sentence holds
// the longest line the assembler keeps, its line feed and the NUL, so that
// every line the assembler can hold reaches the decoder.
#define RECEIVER_READ_SIZE 256
#define RECEIVER_SENTENCE_SIZE (NT_LINE_SIZE + 1)
#define RECEIVER_BUFFER_SIZE 1280

// Worker function of the receiver thread; pParam is the CGPSComm of the
// link. 0 after a normal end, 0xFFFFFFFF when pParam is not a CGPSComm.
UINT ReceiverThread(LPVOID pParam);

// Appends pszChunk to the accumulated text in pszBuffer and cuts the first
// sentence into pszSentence (at most nSentenceSize - 1 characters): the text
// up to and including the first line feed, or before the next start marker
// ("$", or "SONY" for protocol 1) found from index 1 on, whichever ends
// first. 1 when a sentence was cut, 0 otherwise.
// A chunk that does not fit pushes the oldest accumulated text out.
int CutSentence(char* pszBuffer, const char* pszChunk, char* pszSentence, int nBufferSize, int nSentenceSize,
                int nProtocol);

// One read's bytes through framing and the line assembler: NUL bytes dropped,
// every complete sentence cut and fed to pComm. pRead holds nRead bytes and
// room for one more; pszBuffer is the accumulation buffer
// (RECEIVER_BUFFER_SIZE), pszSentence has RECEIVER_SENTENCE_SIZE bytes.
void FrameReceived(CGPSComm* pComm, char* pszBuffer, char* pRead, int nRead, char* pszSentence);

// Removes NUL bytes from the first nLength bytes of pData; returns the
// number of bytes left.
int DropNulBytes(char* pData, int nLength);

// Clears the port's line errors; the result is of no use to the caller.
void ClearPortError(HANDLE hComm, DWORD dwLastError);

#ifndef ORVREADER_ORVBASE_H
#define ORVREADER_ORVBASE_H
/*
 * Card-reader library: basic types, result codes, start and end, handles and message texts.
 *
 * Every function returns a 32-bit result: negative is a failure, 0 success, positive a success with a
 * qualifier (ORV_S_NO_MORE ends a fetch loop). Failures of this library carry facility 4
 * (0x8004xxxx); failures of the operating system carry facility 7 with the errno value in the low 16
 * bits (0x8007xxxx). The library is thread-safe; it posts notifications from its own thread.
 */

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(ORVREADER_BUILD)
#define ORV_API __attribute__((visibility("default")))
#else
#define ORV_API
#endif

/* UTF-16 code unit of every text the library takes or gives. */
typedef uint16_t TOrv_CHAR;

/* Handle of an open reader, detector, device search or port list; 0 is never a valid handle. */
typedef uintptr_t HORV;

/* Key number of a card: byte 0 is the count of significant bytes (0..15), bytes 1..15 the number,
 * least significant byte first; bytes beyond the count are zero. */
typedef uint8_t TOrv_KEYNUM_C[16];

/* Result codes. */
#define ORV_SUCCEEDED(r) ((int32_t)(r) >= 0)
#define ORV_FAILED(r) ((int32_t)(r) < 0)
#define ORV_FACILITY(r) ((((uint32_t)(r)) >> 16) & 0x1FFFu)
#define ORV_FACILITY_LIB 4u
#define ORV_FACILITY_OS 7u
#define ORV_FROM_ERRNO(e) ((int32_t)(0x80070000u | ((uint32_t)(e)&0xFFFFu)))

#define ORV_OK ((int32_t)0x00000000)
#define ORV_S_NO_MORE ((int32_t)0x00040101)   /* nothing (more) to fetch */
#define ORV_S_CANCELLED ((int32_t)0x00040201) /* stopped by the caller's callback */

#define ORV_E_NOT_INITIALIZED ((int32_t)0x80040001)
#define ORV_E_INVALID_ARG ((int32_t)0x80040002)
#define ORV_E_INVALID_HANDLE ((int32_t)0x80040003)
#define ORV_E_OUT_OF_MEMORY ((int32_t)0x80040004)
#define ORV_E_NOT_SUPPORTED ((int32_t)0x80040005)
#define ORV_E_BUS ((int32_t)0x80040006) /* the virtual bus folder cannot be used */
#define ORV_E_WRONG_HANDLE_KIND ((int32_t)0x80040007)
#define ORV_E_PORT_NOT_FOUND ((int32_t)0x80040203)
#define ORV_E_PORT_BUSY ((int32_t)0x80040204)    /* another session holds the port; retry later */
#define ORV_E_NO_READER ((int32_t)0x80040205)    /* no reader answers on the port */
#define ORV_E_WRONG_READER ((int32_t)0x80040206) /* the reader is not of the expected type */
#define ORV_E_DISCONNECTED ((int32_t)0x80040207) /* the reader's port has vanished */
#define ORV_E_NOT_KORVEL ((int32_t)0x80040208)   /* the command needs a base station */
#define ORV_E_NO_CARD ((int32_t)0x8004030A)      /* no (such) card in the reader's field */

/* Version: byte 0 major, byte 1 minor, byte 2 build. */
#define ORV_VERSION_MAJOR 3
#define ORV_VERSION_MINOR 29
#define ORV_VERSION_BUILD 0
ORV_API uint32_t OrvR_GetVersion(void);

/* Initialisation flags (recorded; every flag combination starts the same library). */
#define ORV_INIT_GLOBAL 0x002u   /* a program's start-up */
#define ORV_INIT_DETECTOR 0x100u /* the program registers device detectors */

/* Counted pairs: the first Initialize starts the library, the matching last Finalyze ends it and
 * closes every handle still open. */
ORV_API int32_t OrvR_Initialize(uint32_t AFlags);
ORV_API int32_t OrvR_Finalyze(void);

/* Closes any handle of this library. */
ORV_API int32_t OrvP_CloseHandle(HORV AHandle);

/* Where notifications go: the library calls PostMessage(pContext, message number) from any thread,
 * never after the registration was removed or its handle closed. PostMessage must only queue the
 * message (the caller drains the library's queue on its own thread). */
typedef struct TOrv_NOTIFY_WINDOW {
    void (*PostMessage)(void* AContext, uint32_t AMessage);
    void* pContext;
} TOrv_NOTIFY_WINDOW;

/* The text of a result code from this library's message table (no line break). Copies at most
 * AMax - 1 characters and a terminator into VBuf (which may be NULL when AMax is 0) and returns the
 * full length of the text, or 0 when the table has no text for the code. */
ORV_API uint32_t OrvP_GetMessageText(int32_t ACode, TOrv_CHAR* VBuf, uint32_t AMax);

#ifdef __cplusplus
}
#endif

#endif

#ifndef ORVREADER_ORVREADER_H
#define ORVREADER_ORVREADER_H
/*
 * Card-reader library: readers, cards, reader sessions at the library level.
 */

#include "orvreader/OrvBase.h"
#include "orvreader/OrvPort.h"

#ifdef __cplusplus
extern "C" {
#endif

/* TOrvR_RD_TYPE */
#define ORVR_RD_UNDEF 0u
#define ORVR_RD_DESK 1u    /* desktop reader, 125 kHz */
#define ORVR_RD_DESK_MF 2u /* desktop reader, 125 kHz and 13.56 MHz */
#define ORVR_RD_PROX 3u    /* wall-mounted proximity reader */
#define ORVR_RD_PROX_MF 4u
#define ORVR_RD_GUARD 5u /* portable reader with memory */
#define ORVR_RD_GUARD_MF 6u
#define ORVR_RD_KORVEL 7u      /* base station: LED G, LED R, beeper, +12 V power output */
#define ORVR_RD_KEYBOARD 8u    /* USB keyboard-style reader */
#define ORVR_RD_SERIAL_TEXT 9u /* serial reader sending text lines */
#define ORVR_RD_TYPE_COUNT 10u
typedef uint32_t TOrvR_RD_TYPE;

/* TOrvR_CARD_TYPE */
#define ORVR_CD_UNDEF 0u
#define ORVR_CD_EM_MARINE 1u
#define ORVR_CD_HID 2u
#define ORVR_CD_ICODE 3u
#define ORVR_CD_UL 4u /* Ultralight */
#define ORVR_CD_MF_MINI 5u
#define ORVR_CD_MF_1K 6u
#define ORVR_CD_MF_4K 7u
#define ORVR_CD_MF_PLUS_1K 8u
#define ORVR_CD_MF_PLUS_4K 9u
#define ORVR_CD_MF_DESFIRE 10u
#define ORVR_CD_T57 11u
#define ORVR_CD_COD433 12u
#define ORVR_CD_COD433_FAST 13u
#define ORVR_CD_DALLAS 14u
#define ORVR_CD_CAME433 15u
#define ORVR_CD_TOPAZ 16u
#define ORVR_CD_FELICA 17u
#define ORVR_CD_SMART_MX 18u
#define ORVR_CD_SRX 19u
#define ORVR_CD_LEGIC 20u
#define ORVR_CD_ULC 21u
#define ORVR_CD_TYPE_COUNT 22u
typedef uint32_t TOrvR_CARD_TYPE;

/* A card (24 bytes). */
typedef struct TOrvR_CARD_INFO {
    TOrvR_CARD_TYPE nType;
    TOrv_KEYNUM_C nNum;
    uint32_t nOpts;
} TOrvR_CARD_INFO;

/* A reader. pszLinesBuf, when not NULL, receives a description in lines (UTF-16, zero-terminated,
 * at most nLinesBufMax characters with the terminator). */
typedef struct TOrvR_RD_INFO {
    TOrvP_DEVICE_INFO rBase;
    TOrvR_RD_TYPE nType;
    TOrv_CHAR* pszLinesBuf;
    uint32_t nLinesBufMax;
} TOrvR_RD_INFO;

/* Open flags. */
#define ORVR_OF_KORVEL_WIEGAND 0x2u /* base station reports in Wiegand mode */

typedef struct TOrvR_RD_OPEN_PARAMS {
    TOrvP_PORT_TYPE nPortType;
    const TOrv_CHAR* pszPortName;             /* zero-terminated, at most 31 characters */
    uint32_t nReserved;                       /* 0 */
    TOrvR_RD_TYPE nRdType;                    /* expected reader type; ORVR_RD_UNDEF accepts any */
    const TOrvP_WAIT_SETTINGS* pWaitSettings; /* NULL: the global ones */
    uint8_t nStopBits;                        /* serial ports */
    uint32_t nFlags;                          /* ORVR_OF_... */
} TOrvR_RD_OPEN_PARAMS;

/* Opens the reader on a port. Fails with ORV_E_PORT_NOT_FOUND when the port does not exist,
 * ORV_E_PORT_BUSY while another session holds it, ORV_E_NO_READER when no reader answers there and
 * ORV_E_WRONG_READER when it is not of the expected type. VInfo (optional) receives the reader. */
ORV_API int32_t OrvR_Rd_Open(HORV* VHandle, const TOrvR_RD_OPEN_PARAMS* AParams, TOrvR_RD_INFO* VInfo);

/* Reader notifications: the event mask selects the message kinds queued. */
#define ORVR_NF_CARDS 0x01u      /* kinds 100, 101, 102 */
#define ORVR_NF_INPUTS 0x02u     /* kind 103 */
#define ORVR_NF_IND_FLASH 0x04u  /* kind 104 */
#define ORVR_NF_ERROR 0x08u      /* kind 105 */
#define ORVR_NF_CONNECTION 0x10u /* kind 106 */

/* Message kinds of OrvR_Rd_GetNextMessage and their parameters. Kinds above 106 come from newer
 * backends and are always queued; their parameter is a plain value. */
#define ORVR_MK_CARD_INSERT 100u   /* pointer to TOrvR_CARD_INFO */
#define ORVR_MK_CARD_REMOVE 101u   /* pointer to TOrvR_CARD_INFO */
#define ORVR_MK_CARD_UNKNOWN 102u  /* pointer to zero-terminated UTF-16 text */
#define ORVR_MK_INPUTS_CHANGE 103u /* the new input state itself */
#define ORVR_MK_IND_FLASH_END 104u /* none */
#define ORVR_MK_ERROR 105u         /* pointer to the int32_t result code */
#define ORVR_MK_CONNECTION 106u    /* none; ask OrvR_Rd_GetConnectionStatus */

typedef struct TOrvR_NOTIFY_SETTINGS {
    uint32_t nEventMask; /* ORVR_NF_... */
    uint32_t nReserved1;
    const TOrv_NOTIFY_WINDOW* pWindow;
    uint32_t nMessage;
    uint32_t nReserved2;
    uint32_t nCheckPeriod; /* ms between polls of a serial reader; the bus needs none */
} TOrvR_NOTIFY_SETTINGS;

/* Installs (ASettings) or removes (NULL) the notifications of a reader. Without settings every kind is
 * queued and nothing is posted. */
ORV_API int32_t OrvR_Rd_SetNotification(HORV AHandle, const TOrvR_NOTIFY_SETTINGS* ASettings);
/* 0 with the next message; ORV_S_NO_MORE when the queue is empty. The parameter stays valid until the
 * next call on that handle. */
ORV_API int32_t OrvR_Rd_GetNextMessage(HORV AHandle, uint32_t* VKind, intptr_t* VParam);

ORV_API int32_t OrvR_Rd_GetConnectionStatus(HORV AHandle, TOrvP_CONNECTION_STATUS* VStatus);
ORV_API int32_t OrvR_Rd_SetWaitSettings(HORV AHandle, const TOrvP_WAIT_SETTINGS* ASettings);
ORV_API int32_t OrvR_Rd_GetWaitSettings(HORV AHandle, TOrvP_WAIT_SETTINGS* VSettings);
/* While captured, card messages stay queued in the reader until ReleaseCapture. */
ORV_API int32_t OrvR_Rd_SetCapture(HORV AHandle);
ORV_API int32_t OrvR_Rd_ReleaseCapture(HORV AHandle);
ORV_API int32_t OrvR_Rd_GetInformation(HORV AHandle, TOrvR_RD_INFO* VInfo);

/* Indicator outputs (red LED, green LED, sound): ORVR_IND_... */
#define ORVR_IND_UNCHANGED 0u
#define ORVR_IND_ON 1u
#define ORVR_IND_OFF 2u
ORV_API int32_t OrvR_Rd_SetIndicatorState(HORV AHandle, uint32_t ARed, uint32_t AGreen, uint32_t ASound);

/* Cards in the reader's field: a search of at most AMaxCards, then FindNextCard until it returns
 * ORV_S_NO_MORE; FindNextCard with NULL ends the search. */
ORV_API int32_t OrvR_Rd_SearchCards(HORV AHandle, uint32_t AMaxCards, uint32_t AFlags);
ORV_API int32_t OrvR_Rd_FindNextCard(HORV AHandle, TOrvR_CARD_INFO* VInfo);

ORV_API int32_t OrvR_Rd_ReadULCard4Page(HORV AHandle, uint32_t APageN, uint8_t* VBuf16);
ORV_API int32_t OrvR_Rd_WriteULCardPage(HORV AHandle, uint32_t APageN, const uint8_t* AData4);

/* Progress of a firmware update; a zero result stops it (the update then returns ORV_S_CANCELLED). */
typedef int (*TOrvR_PROGRESS_CALLBACK)(uint32_t APos, uint32_t AMax, void* AUserData);
ORV_API int32_t OrvR_Rd_UpdateFirmware(HORV AHandle, const uint8_t* AData, uint32_t ACount,
                                       TOrvR_PROGRESS_CALLBACK ACallback, void* AUserData);

/* T5557 cards: ORV_E_NO_CARD when none is in the field. */
ORV_API int32_t OrvR_Rd_FindT57(HORV AHandle, TOrv_KEYNUM_C VNum, uint32_t* VPar, uint32_t APsw,
                                uint32_t AFlags);
ORV_API int32_t OrvR_Rd_ReadT57Block(HORV AHandle, uint32_t ABlockN, uint8_t* VBuf4, uint32_t APar,
                                     uint32_t APsw, uint32_t AFlags);
ORV_API int32_t OrvR_Rd_WriteT57Block(HORV AHandle, uint32_t ABlockN, const uint8_t* ABuf4, uint32_t APar,
                                      uint32_t APsw, uint32_t AFlags);
ORV_API int32_t OrvR_Rd_ResetT57(HORV AHandle);

/* Base station (ORVR_RD_KORVEL) only: the +12 V power output (all ones = on, 0 = off) and the format
 * of the number it outputs (AReserved1..3 are 0). Other readers answer ORV_E_NOT_KORVEL. */
ORV_API int32_t OrvR_Korvel_SetPowerState(HORV AHandle, uint32_t AState);
ORV_API int32_t OrvR_Korvel_SetFormat(HORV AHandle, uint32_t AReserved1, const TOrv_CHAR* AFormat,
                                      uint32_t AReserved2, uint32_t AReserved3);

#ifdef __cplusplus
}
#endif

#endif

#ifndef ORVREADER_ORVPORT_H
#define ORVREADER_ORVPORT_H
/*
 * Card-reader library: ports, devices, device searches, port lists and the device detector.
 */

#include "orvreader/OrvBase.h"

#ifdef __cplusplus
extern "C" {
#endif

/* TOrvP_PORT_TYPE */
#define ORVP_PORT_UNDEF 0u /* open: any port of that name */
#define ORVP_PORT_COM 1u   /* serial port: "COM" and an integer */
#define ORVP_PORT_FT 2u    /* USB device */
#define ORVP_PORT_IP 3u
#define ORVP_PORT_IPS 4u
typedef uint32_t TOrvP_PORT_TYPE;

/* TOrvP_CONNECTION_STATUS */
#define ORVP_CS_UNDEF 0u
#define ORVP_CS_CONNECTED 1u
#define ORVP_CS_DISCONNECTED 2u
#define ORVP_CS_RESTORING 3u
typedef uint32_t TOrvP_CONNECTION_STATUS;

/* Device type ids (nTypeId) and the device masks built from them: bit n selects type id n. */
#define ORVP_DEVTYPE_READER 0u
#define ORVP_DEVMASK_READERS (1u << ORVP_DEVTYPE_READER)

/* Waiting for a reader's replies. Serial backends use these; the virtual bus answers at once and
 * keeps them only to give them back. */
typedef struct TOrvP_WAIT_SETTINGS {
    uint32_t nReplyTimeout; /* ms */
    uint32_t nMaxTries;
    uint32_t hAbortEvent;    /* reserved, 0 */
    uint32_t nReplyTimeout0; /* ms, first reply */
    uint32_t nCheckPeriod;   /* ms */
    uint32_t nConnectTimeout;
    uint32_t nRestorePeriod;
} TOrvP_WAIT_SETTINGS;

/* One device. cbSize tells how much of the enclosing record the library filled. */
typedef struct TOrvP_DEVICE_INFO {
    uint32_t cbSize;
    uint32_t nTypeId; /* ORVP_DEVTYPE_... */
    uint32_t nModel;  /* for readers: the reader type (TOrvR_RD_TYPE) */
    int32_t nSn;
    uint32_t nVersion; /* byte 0 major, 1 minor, 2 build */
} TOrvP_DEVICE_INFO;

/* A port record. The name of a USB device's serial port (its second name) is at offset 72; the list of
 * devices found on the port follows. */
#define ORVP_PORT_NAME_MAX 32
#define ORVP_PORT_MAX_DEVICES 4
#define ORVP_PF_BUSY 0x1u /* a session holds the port open */
typedef struct TOrvP_PORT_INFO {
    TOrvP_PORT_TYPE nType;                    /* offset 0 */
    TOrv_CHAR szName[ORVP_PORT_NAME_MAX];     /* offset 4, zero-terminated */
    uint32_t nFlags;                          /* offset 68, ORVP_PF_... */
    TOrv_CHAR szFriendly[ORVP_PORT_NAME_MAX]; /* offset 72, zero-terminated, may be empty */
    uint32_t nDevCount;
    TOrvP_DEVICE_INFO aDevices[ORVP_PORT_MAX_DEVICES];
} TOrvP_PORT_INFO;

/* Device search flags. */
#define ORVP_SF_READERS 0x1u     /* return the readers found */
#define ORVP_SF_EMPTY_PORTS 0x2u /* also return ports without a reader (their record has cbSize 0) */
#define ORVP_SF_BUSY_PORTS 0x8u  /* also return readers on ports another session holds open */

typedef struct TOrvP_SEARCH_PARAMS {
    uint32_t nDevMask; /* offset 0: ORVP_DEVMASK_... */
    uint32_t nReserved1;
    uint32_t nReserved2;
    uint32_t nReserved3;
    uint32_t nFlags;                          /* offset 16: ORVP_SF_... */
    const TOrvP_WAIT_SETTINGS* pWaitSettings; /* offset 20 (on 32-bit builds) */
    uint32_t nReserved4;
    uint32_t nReserved5;
} TOrvP_SEARCH_PARAMS;

struct TOrvR_RD_INFO; /* OrvReader.h */

/* Starts a search over every port; the handle is closed with OrvP_CloseHandle. */
ORV_API int32_t OrvP_SearchDevices(HORV* VSearch, const TOrvP_SEARCH_PARAMS* AParams);
/* Returns the next device: 0 with VInfo (its rBase.cbSize set to the size filled: the size of
 * TOrvR_RD_INFO for a reader, 0 for an empty port) and up to APortMax port records, the number of
 * records in VPortCount; ORV_S_NO_MORE at the end. The caller sets VInfo->rBase.cbSize to
 * sizeof(TOrvR_RD_INFO). ATimeout (ms, -1 = no limit) is not needed by the bus. */
ORV_API int32_t OrvP_FindNextDevice(HORV ASearch, struct TOrvR_RD_INFO* VInfo, TOrvP_PORT_INFO* VPorts,
                                    uint32_t APortMax, uint32_t* VPortCount, int32_t ATimeout);

/* A snapshot of the ports that hold devices of ADevMask (0 = every port); AFlags is 0. */
ORV_API int32_t OrvP_GetPortInfoList(HORV* VList, uint32_t* VCount, uint32_t ADevMask, uint32_t AFlags);
ORV_API int32_t OrvP_GetPortInfo(HORV AList, uint32_t AIndex, TOrvP_PORT_INFO* VInfo);

/* Device detector. Message kinds of OrvP_DD_GetNextMessage; the parameter of kinds 1 and 2 points to a
 * port record (valid until the next call on that detector). */
#define ORVP_DDK_PORT_ARRIVED 1u
#define ORVP_DDK_PORT_REMOVED 2u
#define ORVP_DDK_REFRESH_DONE 5u /* an OrvP_DD_Refresh of this process has ended */

/* Detector event mask. */
#define ORVP_DDN_PORTS 0x0001u   /* kinds 1 and 2 */
#define ORVP_DDN_REFRESH 0x0010u /* kind 5 */
/* Port types watched: bit 11 + port type; with none of these bits every type is watched. */
#define ORVP_DDN_COM 0x1000u
#define ORVP_DDN_FT 0x2000u
#define ORVP_DDN_IP 0x4000u
#define ORVP_DDN_IPS 0x8000u

typedef struct TOrvP_DD_NOTIFY_SETTINGS {
    uint32_t nEventMask; /* ORVP_DDN_... */
    uint32_t nReserved1;
    const TOrv_NOTIFY_WINDOW* pWindow; /* NULL: messages are only queued */
    uint32_t nMessage;
    uint32_t nDevMask; /* devices listed in the port records */
    uint32_t nReserved2;
    uint32_t nReserved3;
    uint32_t nReserved4;
} TOrvP_DD_NOTIFY_SETTINGS;

/* Registers a detector: a message is posted for every port change after this call. */
ORV_API int32_t OrvP_DD_SetNotification(HORV* VDetector, const TOrvP_DD_NOTIFY_SETTINGS* ASettings);
ORV_API int32_t OrvP_DD_GetNextMessage(HORV ADetector, uint32_t* VKind, intptr_t* VParam);
/* Asks every backend to look at its ports again; the detectors of this process whose mask has
 * ORVP_DDN_REFRESH then receive kind 5. AFlags is 0. */
ORV_API int32_t OrvP_DD_Refresh(uint32_t AFlags);

/* Global detector settings of this process: five values, then the wait settings used by searches
 * that give none. The scan masks are kept for scanning backends; the virtual bus knows its ports. */
typedef struct TOrvP_DD_GLOBAL_SETTINGS {
    uint32_t nComScanMask; /* bit n-1: scan COMn */
    uint32_t nScanPeriod;  /* ms */
    uint32_t nFtScanMask;
    uint32_t nReserved1;
    uint32_t nReserved2;
    TOrvP_WAIT_SETTINGS rWaitSettings;
} TOrvP_DD_GLOBAL_SETTINGS;

ORV_API int32_t OrvP_DD_GetGlobalSettings(TOrvP_DD_GLOBAL_SETTINGS* VSettings);
ORV_API int32_t OrvP_DD_SetGlobalSettings(const TOrvP_DD_GLOBAL_SETTINGS* ASettings);

#ifdef __cplusplus
}
#endif

#endif

/* The cluster product's client library, qlxapi_mt: what the wizard passes to
 * it and relies on. Written by us from what the wizard needs; the library's
 * inner working and the layout of its results beyond these fields are its
 * own. Every function reports failure by its result (non-zero, or a null
 * handle) and leaves the error for QLXApiGetLastError on the calling thread.
 * Results are the library's memory: each goes back through its QLXFree*. */
#ifndef QLXAPI_H
#define QLXAPI_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define QLXAPI __stdcall

/* Object kinds. */
#define QLX_OBJ_SYSTEM 1
#define QLX_OBJ_GROUP 2
#define QLX_OBJ_RESOURCE 3

/* Object states in a state result. */
#define QLX_STATE_OFFLINE 1
#define QLX_STATE_ONLINE 2

/* Filter kinds. */
#define QLX_FILTER_STATE_SYSTEMS 17 /* a state filter: the systems whose state is wanted */
#define QLX_FILTER_CONDITIONS 22    /* a names filter: conditions such as "Type=Lanman" */

/* The control-information version the wizard asks for. */
#define QLX_CNTL_INFO_VERSION 45
/* Every call of the cluster API asks for the whole cluster. */
#define QLX_ALL_SYSTEMS 0xFFFFFFFFu

/* Error class of the engine and the numbers callers tell apart. */
#define QLX_ERROR_CLASS_ENGINE 20
#define QLX_ERROR_ENGINE_NOT_RESPONDING 53007 /* QLXClusterOpenLocal: the engine is hung */
#define QLX_ERROR_NO_OBJECTS 50030            /* QLXObjGetNames: nothing matches */

#define QLX_ERROR_TEXT_LENGTH 512

typedef struct QLXClusterTag* QLXHANDLE;
typedef struct QLXCntlInfoTag QLXCntlInfo; /* opaque */

/* The last error of the calling thread. */
typedef struct QLXError
{
    uint32_t errorClass;
    uint32_t errorNumber;
    char text[QLX_ERROR_TEXT_LENGTH]; /* ANSI, terminated */
} QLXError;

/* A names result. */
typedef struct QLXNames
{
    uint32_t count;
    char** names; /* count ANSI names */
} QLXNames;

/* A names filter (kind 22): objects that meet every condition. */
typedef struct QLXNamesFilter
{
    uint32_t kind;
    uint32_t count;
    const char* const* conditions;
} QLXNamesFilter;

/* A state filter (kind 17): the states on these systems only. */
typedef struct QLXStateFilter
{
    uint32_t kind;
    uint32_t count;
    const char* const* systems;
} QLXStateFilter;

/* One value of an attribute; per-system attributes key each by system name. */
typedef struct QLXAttrValue
{
    char* key; /* null for a value that is not per system */
    char* text;
} QLXAttrValue;

/* An attribute result. */
typedef struct QLXAttr
{
    char* name;
    uint32_t count;
    QLXAttrValue* values;
} QLXAttr;

/* A state result: one entry per system. */
typedef struct QLXStateEntry
{
    char* system;
    uint32_t state;
} QLXStateEntry;

typedef struct QLXStates
{
    uint32_t count;
    QLXStateEntry* entries;
} QLXStates;

int QLXAPI QLXFillCntlInfo(uint32_t version, uint32_t flags, uint32_t reserved, QLXCntlInfo** cntlInfo);
int QLXAPI QLXApiInit(uint32_t flags, QLXCntlInfo* cntlInfo);
void QLXAPI QLXFreeCntlInfo(QLXCntlInfo** cntlInfo);
QLXHANDLE QLXAPI QLXClusterOpenLocal(uint32_t systems, uint32_t flags);
int QLXAPI QLXObjGetNames(QLXHANDLE cluster, uint32_t kind, uint32_t flags, QLXNames** names,
                          const QLXNamesFilter* filter);
int QLXAPI QLXObjGetAttribute(QLXHANDLE cluster, uint32_t kind, const char* objectName, const char* attributeName,
                              uint32_t flags, QLXAttr** attribute, uint32_t reserved);
int QLXAPI QLXAttrGetStr(const QLXAttr* attribute, const char* key, uint32_t flags, char** text, uint32_t reserved);
int QLXAPI QLXObjGetState(QLXHANDLE cluster, uint32_t kind, const char* objectName, const char* system,
                          QLXStates** states, const QLXStateFilter* filter);
int QLXAPI QLXResGetGrpName(QLXHANDLE cluster, const char* resourceName, char** groupName, uint32_t flags);
int QLXAPI QLXGrpOffline(QLXHANDLE cluster, const char* groupName, const char* system, uint32_t options,
                         uint32_t reserved);
QLXError QLXAPI QLXApiGetLastError(void);
void QLXAPI QLXFreeObjNames(QLXNames** names);
void QLXAPI QLXFreeAttr(QLXAttr** attribute);
void QLXAPI QLXFreeStr(char** text);
void QLXAPI QLXFreeObjState(QLXStates** states);

#ifdef __cplusplus
}
#endif

#endif /* QLXAPI_H */

// A stand-in for the cluster library, built twice as qlxapi_mt.dll: whole,
// and (KV_STANDIN_HALF) without its last function. Each function answers in a
// way a test can tell apart from the system backend's "not ready".
#include "qlxapi.h"

#include <cstring>

#define KV_EXPORT extern "C" __declspec(dllexport)

namespace
{
QLXHANDLE StandInCluster()
{
    static char cluster;
    return reinterpret_cast<QLXHANDLE>(&cluster);
}
} // namespace

KV_EXPORT int QLXAPI QLXFillCntlInfo(uint32_t, uint32_t, uint32_t, QLXCntlInfo** cntlInfo)
{
    *cntlInfo = nullptr;
    return 0;
}
KV_EXPORT int QLXAPI QLXApiInit(uint32_t, QLXCntlInfo*) { return 0; }
KV_EXPORT void QLXAPI QLXFreeCntlInfo(QLXCntlInfo**) {}
KV_EXPORT QLXHANDLE QLXAPI QLXClusterOpenLocal(uint32_t, uint32_t) { return StandInCluster(); }
KV_EXPORT int QLXAPI QLXObjGetNames(QLXHANDLE, uint32_t, uint32_t, QLXNames**, const QLXNamesFilter*) { return 7; }
KV_EXPORT int QLXAPI QLXObjGetAttribute(QLXHANDLE, uint32_t, const char*, const char*, uint32_t, QLXAttr**, uint32_t)
{
    return 7;
}
KV_EXPORT int QLXAPI QLXAttrGetStr(const QLXAttr*, const char*, uint32_t, char**, uint32_t) { return 7; }
KV_EXPORT int QLXAPI QLXObjGetState(QLXHANDLE, uint32_t, const char*, const char*, QLXStates**, const QLXStateFilter*)
{
    return 7;
}
KV_EXPORT int QLXAPI QLXResGetGrpName(QLXHANDLE, const char*, char**, uint32_t) { return 7; }
KV_EXPORT int QLXAPI QLXGrpOffline(QLXHANDLE, const char*, const char*, uint32_t, uint32_t) { return 7; }
KV_EXPORT QLXError QLXAPI QLXApiGetLastError(void)
{
    QLXError error{7, 7, ""};
    std::strcpy(error.text, "stand-in");
    return error;
}
KV_EXPORT void QLXAPI QLXFreeObjNames(QLXNames**) {}
KV_EXPORT void QLXAPI QLXFreeAttr(QLXAttr**) {}
KV_EXPORT void QLXAPI QLXFreeStr(char**) {}
#ifndef KV_STANDIN_HALF
KV_EXPORT void QLXAPI QLXFreeObjState(QLXStates**) {}
#endif

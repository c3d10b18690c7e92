// KvLab cluster engine: see LabCluster.h. Not built yet: a library that is
// never ready.
#include "LabCluster.h"

namespace KvLab
{
int WINAPI QLXFillCntlInfo(uint32_t, uint32_t, uint32_t, QLXCntlInfo** cntlInfo)
{
    if (cntlInfo)
        *cntlInfo = nullptr;
    return -1;
}
int WINAPI QLXApiInit(uint32_t, QLXCntlInfo*) { return -1; }
void WINAPI QLXFreeCntlInfo(QLXCntlInfo**) {}
QLXHANDLE WINAPI QLXClusterOpenLocal(uint32_t, uint32_t) { return nullptr; }
int WINAPI QLXObjGetNames(QLXHANDLE, uint32_t, uint32_t, QLXNames**, const QLXNamesFilter*) { return -1; }
int WINAPI QLXObjGetAttribute(QLXHANDLE, uint32_t, const char*, const char*, uint32_t, QLXAttr**, uint32_t)
{
    return -1;
}
int WINAPI QLXAttrGetStr(const QLXAttr*, const char*, uint32_t, char**, uint32_t) { return -1; }
int WINAPI QLXObjGetState(QLXHANDLE, uint32_t, const char*, const char*, QLXStates**, const QLXStateFilter*)
{
    return -1;
}
int WINAPI QLXResGetGrpName(QLXHANDLE, const char*, char**, uint32_t) { return -1; }
int WINAPI QLXGrpOffline(QLXHANDLE, const char*, const char*, uint32_t, uint32_t) { return -1; }
QLXError WINAPI QLXApiGetLastError() { return QLXError{1, 0, "The lab has no cluster."}; }
void WINAPI QLXFreeObjNames(QLXNames**) {}
void WINAPI QLXFreeAttr(QLXAttr**) {}
void WINAPI QLXFreeStr(char**) {}
void WINAPI QLXFreeObjState(QLXStates**) {}

long ClusterLiveResults() noexcept
{
    return 0;
}
} // namespace KvLab

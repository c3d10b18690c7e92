// Tells, in its exit code, which Windows the library's version tests saw in
// this process: 1 Windows 2000 (computer object), 2 version 6.0 or later
// (network), 4 the same as recorded by an initialised virtual name.
#include "LibADCompObject.h"
#include "LibNet.h"
#include "LibVirtualName.h"

int main()
{
    const VLibADCompObject computer;
    VLibVirtualName name;
    (void)name.Init(L"PROBE");
    return (computer.IsWindows2000() ? 1 : 0) | (VLibNet::IsVersion6OrLater() ? 2 : 0) |
           (name.IsVersion6OrLater() ? 4 : 0);
}

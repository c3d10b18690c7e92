// The echo requests' ICMP handle: closed through the entry-point table, and
// only ever one that IcmpCreateFile or Icmp6CreateFile gave (Wine's
// IcmpCloseHandle crashes on any other value).
#pragma once

#include "EntryPoints.h"

#include <memory>

struct IcmpCloser
{
    void operator()(HANDLE icmp) const noexcept { KvEntry().IcmpCloseHandle(icmp); }
};
using unique_icmp = std::unique_ptr<void, IcmpCloser>;

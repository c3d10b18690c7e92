// CEVS: one Exchange virtual server, as a node's configuration lists it and
// as the cluster discovery records it.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

// One Exchange virtual server as configured on a node. The records are shared
// with the cluster discovery's lists, so they outlive a configuration record.
class CEVS
{
public:
    explicit CEVS(std::wstring evsName) noexcept : name(std::move(evsName)) {}

    std::wstring name;
    // The directory's Exchange version text, filled by the discovery.
    std::wstring version;
    // Subkeys of the server's "Systems" key; 0 when they could not be enumerated.
    uint32_t systemCount = 0;
};

// The one result type of the program: returned by value, never thrown.
#pragma once

#include <cstddef>
#include <cstdint>

class CStatus
{
public:
    // Not set yet: a record that no operation marked successful counts as failed.
    static constexpr uint32_t kNotSet = 0xFFFFFFFFu;

    // Failure categories.
    static constexpr uint32_t kApplication = 1;
    static constexpr uint32_t kWin32 = 2;
    static constexpr uint32_t kNetworkName = 3;
    static constexpr uint32_t kCom = 4;
    static constexpr uint32_t kService = 6;
    static constexpr uint32_t kDirectory = 27;
    static constexpr uint32_t kCluster = 33;
    static constexpr uint32_t kAddress = 41;
    static constexpr uint32_t kXml = 50;

    CStatus() noexcept = default;

    // A record already marked successful, for operations to start from.
    static CStatus Success() noexcept
    {
        CStatus status;
        status.SetSuccess();
        return status;
    }

    // A failure of the given category and code, for operations that return at once.
    static CStatus Failure(uint32_t category, uint32_t code) noexcept
    {
        CStatus status;
        status.Set(category, code);
        return status;
    }

    void SetSuccess() noexcept
    {
        category = 0;
        code = 0;
    }

    void Set(uint32_t newCategory, uint32_t newCode, uint32_t newExtraA = 0, uint32_t newExtraB = 0,
             uint64_t newExtra = 0) noexcept
    {
        category = newCategory;
        code = newCode;
        extraA = newExtraA;
        extraB = newExtraB;
        extra = newExtra;
        spare64 = 0;
        spare32 = 0;
    }

    uint32_t GetCategory() const noexcept { return category; }
    uint32_t GetCode() const noexcept { return code; }
    bool IsFailed() const noexcept { return category != 0; }
    bool IsSuccess() const noexcept { return category == 0; }

    // Public so the layout can be checked where it is declared.
    uint32_t category = kNotSet;
    uint32_t code = 0;
    uint64_t extra = 0;
    uint32_t extraA = 0;
    uint32_t extraB = 0;
    uint64_t spare64 = 0;
    uint32_t spare32 = 0;
};

static_assert(sizeof(CStatus) == 40, "the status record is 40 bytes");
static_assert(offsetof(CStatus, category) == 0 && offsetof(CStatus, code) == 4 &&
                  offsetof(CStatus, extra) == 8 && offsetof(CStatus, extraA) == 16 &&
                  offsetof(CStatus, extraB) == 20 && offsetof(CStatus, spare64) == 24 &&
                  offsetof(CStatus, spare32) == 32,
              "the status record's fields keep their order and places");

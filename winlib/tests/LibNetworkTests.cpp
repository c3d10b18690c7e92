// The network classes against the lab's network: the virtual-name table, the
// pinger's address families.
#include "LibPinger.h"
#include "LibVirtualName.h"

#include "LabScenario.h"
#include "RecordingLogOutput.h"
#include "UniqueResource.h"

#include <gtest/gtest.h>

namespace
{
using Traces = std::vector<std::wstring>;
std::pair<uint32_t, uint32_t> Result(const CStatus& status) { return {status.GetCategory(), status.GetCode()}; }

struct NetworkTest : ::testing::Test
{
    CLabScenario _lab;
    CScopedRecordingOutput _output;
};

// Two objects in turn share one table; it goes with the second.
TEST_F(NetworkTest, ObjectsShareOneTableUntilTheLastGoes)
{
    ASSERT_EQ(0u, VLibVirtualName::TableReferences());
    {
        VLibVirtualName first;
        ASSERT_TRUE(first.Init(L"evs1").IsSuccess());
        EXPECT_EQ(L"EVS1", first.GetName());
        {
            VLibVirtualName second;
            ASSERT_TRUE(second.Init(L"Evs2").IsSuccess());
            EXPECT_EQ(2u, VLibVirtualName::TableReferences());
        }
        EXPECT_EQ(1u, VLibVirtualName::TableReferences());
    }
    EXPECT_EQ(0u, VLibVirtualName::TableReferences());
}

// Another object of the mutex's name: Init still succeeds, and nothing is held.
TEST_F(NetworkTest, InitSucceedsWithoutItsMutex)
{
    const unique_handle squatter(::CreateEventW(nullptr, TRUE, FALSE, VLibVirtualName::kSingleInstanceMutex));
    ASSERT_TRUE(squatter);
    {
        VLibVirtualName name;
        EXPECT_TRUE(name.Init(L"EVS1").IsSuccess());
        EXPECT_EQ(0u, VLibVirtualName::TableReferences());
        EXPECT_EQ((Traces{L"(6) CreateMutex failed. Name=VLIB_VIRTUALNAME_SINGLE_INSTANCE",
                          L"VLibMutex.Create(VLIB_VIRTUALNAME_SINGLE_INSTANCE) returned 2, 0x00000006"}),
                  _output.TakeTraces());
    }
    EXPECT_EQ(0u, VLibVirtualName::TableReferences());
}

// Texts that are no address, and the first text deciding the family for good.
TEST_F(NetworkTest, PingerFamiliesFromTheText)
{
    for (const wchar_t* text : {L"", L"::1", L"1234", L".1.2.3"})
    {
        VLibPinger pinger;
        bool alive = true;
        EXPECT_EQ(std::pair(41u, 107u), Result(pinger.Ping(alive, text, 10))) << text;
        EXPECT_EQ(VLibPinger::kUndetected, pinger.GetFamily());
    }
    VLibPinger pinger;
    uint32_t family = 0;
    ASSERT_TRUE(pinger.DetectAddressFamily(L"fe80::1", family).IsSuccess());
    EXPECT_EQ(VLibPinger::kIPv6, family);
    EXPECT_EQ(CStatus::kWin32, pinger.DetectAddressFamily(L"1.2.3.4.5", family).GetCategory());
    EXPECT_EQ(VLibPinger::kIPv6, pinger.GetFamily()) << "kept after a text of another family";
}
} // namespace

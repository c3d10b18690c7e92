// The wizard's start-up entry in the logged-on user's Run key.
#include "Util.h"

#include "L10nUtil.h"
#include "RegistryValues.h"
#include "UniqueResource.h"
#include "WizardTestEnvironment.h"

#include <gtest/gtest.h>

namespace
{
constexpr wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

struct StartUpTest : ::testing::Test
{
    StartUpTest()
    {
        EXPECT_TRUE(CUtil::GetLoggedOnUsersSIDString(_sid).IsSuccess());
        ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kRun, L"QLXExchInst");
    }
    ~StartUpTest() override { ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kRun, L"QLXExchInst"); }

    // What the user's own Run key holds, as Windows reads it at the next logon.
    static std::wstring Registered()
    {
        wchar_t path[MAX_PATH + 1] = {};
        DWORD size = sizeof(path);
        if (::RegGetValueW(HKEY_CURRENT_USER, kRun, L"QLXExchInst", RRF_RT_REG_SZ, nullptr, path, &size))
            return L"-";
        return path;
    }

    CScopedResourceModule _catalogue{L10nUtil::SelectModule(L"Korvelin", 0x0409)};
    std::wstring _sid;
};

// Written below HKEY_USERS\<SID>, read back through the user's own key: that is what brings the wizard back.
TEST_F(StartUpTest, RegistersThisProgramUntilRemovedOnce)
{
    ::RegDeleteTreeW(HKEY_USERS, (_sid + L"\\" + kRun).c_str());
    ::RegDeleteKeyW(HKEY_USERS, (_sid + L"\\" + kRun).c_str());
    ASSERT_TRUE(CUtil::ModifyStartUp(CUtil::kAddStartUp).IsSuccess()) << "the Run key is created";
    wchar_t program[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, program, MAX_PATH);
    EXPECT_EQ(program, Registered());

    const CStatus removed = CUtil::ModifyStartUp(1);
    EXPECT_TRUE(removed.IsSuccess());
    EXPECT_EQ(L"-", Registered());
    const CStatus again = CUtil::ModifyStartUp(7);
    EXPECT_EQ(std::pair(2u, 2u), std::pair(again.GetCategory(), again.GetCode())) << "nothing left to remove";
}

// A foreign program under the name is replaced by this one, never kept beside it.
TEST_F(StartUpTest, ReplacesAForeignEntry)
{
    const std::vector<BYTE> foreign = RegText(L"C:\\other.exe");
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetKeyValueW(HKEY_USERS, (_sid + L"\\" + kRun).c_str(), L"QLXExchInst", REG_SZ,
                                               foreign.data(), static_cast<DWORD>(foreign.size())));
    ASSERT_TRUE(CUtil::ModifyStartUp(CUtil::kAddStartUp).IsSuccess());
    EXPECT_NE(L"C:\\other.exe", Registered());
}
} // namespace

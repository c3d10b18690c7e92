// The selection page: which servers it offers, the name check with the group
// offline, and the upgrade-state matrix with its fixed columns.
#include "EVSSelectPage.h"

#include "EVSLists.h"
#include "ExchRegistry.h"
#include "FakeClock.h"
#include "LabFaults.h"
#include "RecordingLogOutput.h"
#include "ResourceIds.h"
#include "ScriptedUser.h"
#include "StringIds.h"
#include "Tarnwick.h"
#include "UpgradeMatrix.h"
#include "UpgradeNode.h"
#include "Util.h"
#include "WaitUntil.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace
{
using Names = std::vector<std::wstring>;
const wchar_t kOld[] = L"1912701168", kNew[] = L"1912766640"; // the catalogue's upgradable and target versions
const std::wstring kServers = L"CN=Servers,CN=Configuration,DC=lab,DC=test";

CExchVersionList Catalogue() { return {{{kOld, 7}}, {kNew, 8}}; }

// singleUpgradable: the servers Add tells of, upgradable on a single node (the page logs them).
struct ListCase { const char* name; std::vector<std::tuple<const wchar_t*, const wchar_t*, uint32_t>> servers;
                  bool ignoreVersion; Names offered; Names singleUpgradable; };
void PrintTo(const ListCase& c, std::ostream* out) { *out << c.name; }
class OfferedTest : public ::testing::TestWithParam<ListCase> {};
} // namespace

TEST_P(OfferedTest, OffersTheRightServersInOrder)
{
    CEVSLists lists;
    Names told;
    for (const auto& [name, version, nodes] : GetParam().servers)
        if (lists.Add(name, version, nodes, Catalogue()))
            told.push_back(name);
    EXPECT_EQ(GetParam().offered, lists.Offered(GetParam().ignoreVersion));
    EXPECT_EQ(GetParam().singleUpgradable, told);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, OfferedTest,
    ::testing::Values(
        ListCase{"UpgradableOnly", {{L"A", kNew, 2}, {L"B", kOld, 2}, {L"C", L"OTHER", 2}, {L"D", L"1912701168", 3}},
                 false, {L"B", L"D"}, {}},
        ListCase{"AtTheTargetWhenNothingIsUpgradable", {{L"A", L"1912766640", 2}, {L"C", L"OTHER", 1}, {L"B", kNew, 2}},
                 false, {L"A", L"B"}, {}},
        // The last single-node server of the configuration, whatever its version, once one is upgradable.
        ListCase{"SingleNodeKeepsTheLastOne", {{L"A", kOld, 1}, {L"B", kOld, 2}, {L"C", kNew, 1}}, false, {L"C"},
                 {L"A"}},
        ListCase{"SingleNodeAtTheTargetAloneChangesNothing", {{L"A", kNew, 1}, {L"B", kOld, 2}}, false, {L"B"}, {}},
        ListCase{"IgnoreVersionOffersAllUpgradableFirst",
                 {{L"A", L"OTHER", 1}, {L"B", kNew, 2}, {L"C", kOld, 1}, {L"D", kOld, 2}}, true,
                 {L"C", L"D", L"B", L"A"}, {L"C"}}),
    [](const auto& info) { return std::string(info.param.name); });

namespace
{
// A first-pass node whose configuration names servers with their nodes, dated by the lab's directory.
struct SelectTest : ::testing::Test
{
    SelectTest()
    {
        _node.lab.AddDirectoryObject(kServers, L"msExchServersContainer");
        _node.lab.AddNetworkAdapter({{0x00, 0x15, 0x5D, 0x01, 0x02, 0x01}, 0, true, false, {"192.168.10.1/24"}, {}, "lan"});
        _node.lab.SetNetbiosNoAnswerDelay(1);
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(CExchRegistry::kConfigKey) + L"\\EVS").c_str());
    }
    void Configure(const wchar_t* evs, const wchar_t* version, std::vector<const wchar_t*> nodes)
    {
        for (const wchar_t* node : nodes)
            ::RegSetKeyValueW(HKEY_LOCAL_MACHINE,
                              (std::wstring(CExchRegistry::kConfigKey) + L"\\EVS\\" + evs + L"\\Systems\\" + node).c_str(),
                              nullptr, REG_SZ, L"", sizeof(L""));
        if (version)
        {
            _node.lab.AddDirectoryObject(L"CN=" + std::wstring(evs) + L"," + kServers, L"msExchExchangeServer");
            _node.lab.SetDirectoryStrings(L"CN=" + std::wstring(evs) + L"," + kServers, L"versionNumber", {version});
        }
        theApp.m_config = CQLXExchConfig();
        EXPECT_TRUE(CExchRegistry::ReadQLXExchReg(nullptr, theApp.m_config).IsSuccess());
    }
    // The name answers on the network: NetBIOS and echo.
    void NameInUse(const wchar_t* name)
    {
        _node.lab.AddNetworkHost({name, {{"EVS1", 0x00}}, {0x00, 0x15, 0x5D, 0x09, 0x09, 0x09}, {"192.168.10.50"}});
    }
    // The name's Lanman resource online on NODE2's system, its group offline after two polls.
    void OnlineHere(const LabGroupOffline& offline = {LabGroupOffline::AfterPolls, 2})
    {
        _node.lab.AddClusterSystem(L"qlx-b", "2:NODE2,RUNNING");
        _node.lab.AddClusterGroup(L"EVS1-SG", {{L"qlx-a", QLX_STATE_OFFLINE}, {L"qlx-b", QLX_STATE_ONLINE}}, offline);
        _node.lab.AddClusterResource(L"EVS1-Name", L"Lanman", L"EVS1", L"EVS1-SG",
                                     {{L"qlx-a", QLX_STATE_OFFLINE}, {L"qlx-b", QLX_STATE_ONLINE}});
        EXPECT_TRUE(CUtil::InitQLXApiAndGetHandle(theApp.m_cluster.handle).IsSuccess());
    }

    // Opens the selection page, reads what it offers, presses Next, answers
    // the boxes as answers says (unlisted: No) and cancels the wizard.
    Names Run(const std::map<int, int>& answers, std::vector<int>& boxes, size_t expectedBoxes)
    {
        Names offered;
        _node.Run(CTarnwickSheet::kSelectIndex, [&](HWND sheet) {
            ASSERT_TRUE(ScriptedUser::WaitForPage(sheet, IDD_EVS_SELECT));
            const HWND combo = ::GetDlgItem(ScriptedUser::CurrentPageWindow(sheet), IDC_EVS_LIST);
            for (int i = 0; i < static_cast<int>(::SendMessageW(combo, CB_GETCOUNT, 0, 0)); ++i)
            {
                wchar_t text[128] = {};
                ::SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
                offered.push_back(text);
            }
            ScriptedUser::PressButton(sheet, PSBTN_NEXT);
            const auto answer = [&](int id) { return answers.count(id) ? answers.at(id) : IDNO; };
            EXPECT_TRUE(ScriptedUser::AnswerBoxesUntil(
                [&] { return boxes.size() >= expectedBoxes && !ScriptedUser::FindMessageBox(L"M-42-13-"); },
                answer, boxes));
            EXPECT_EQ(IDD_EVS_SELECT, ScriptedUser::CurrentPage(sheet)) << "every way out of these stays";
            EXPECT_TRUE(WaitUntil([&] { return ::GetWindowTextLengthW(::GetDlgItem(
                                                   ScriptedUser::CurrentPageWindow(sheet), IDC_EVS_STATUS)) == 0; }))
                << "the status text is emptied on the way out";
            EXPECT_TRUE(ScriptedUser::CancelWizard(sheet));
        });
        return offered;
    }

    CUpgradeNode _node{CUpgradeNode::kFirstPass};
    CFakeClock _clock;
};
} // namespace

// Servers dated by the directory, one the directory does not know ("OTHER",
// logged), all offered with "IgnoreExchVersion"; a free name goes straight to
// the confirmation.
TEST_F(SelectTest, OffersTheConfiguredServersAndAFreeNameGoesToTheConfirmation)
{
    Configure(L"EVS1", kOld, {L"NODE1", L"NODE2"});
    Configure(L"EVS2", kNew, {L"NODE1", L"NODE2"});
    Configure(L"EVS3", nullptr, {L"NODE1", L"NODE2"});
    const DWORD any = 0;
    ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, CExchRegistry::kConfigKey, CExchRegistry::kIgnoreExchVersion, REG_DWORD,
                      &any, sizeof(any));
    std::vector<int> boxes;
    EXPECT_EQ((Names{L"EVS1", L"EVS2", L"EVS3"}), Run({}, boxes, 1));
    EXPECT_EQ(std::vector<int>{IDS_CONFIRM_CHANGES}, boxes);
    EXPECT_EQ(L"EVS1", theApp.m_selectedEVS);
    ASSERT_EQ(3u, theApp.m_config.evsList.size());
    EXPECT_EQ(L"OTHER", theApp.m_config.evsList[2]->version) << "undated by the directory";
}

namespace
{
struct CheckCase { const char* name; void (*prepare)(SelectTest&); std::map<int, int> answers; std::vector<int> boxes;
                   const wchar_t* dumped = nullptr; };
void PrintTo(const CheckCase& c, std::ostream* out) { *out << c.name; }
class NameCheckTest : public SelectTest, public ::testing::WithParamInterface<CheckCase> {};
} // namespace

TEST_P(NameCheckTest, ShowsWhatTheNameCheckFound)
{
    const CheckCase& c = GetParam();
    Configure(L"EVS1", kOld, {L"NODE1", L"NODE2"});
    c.prepare(*this);
    std::vector<int> boxes;
    CScopedRecordingOutput output;
    Run(c.answers, boxes, c.boxes.size());
    EXPECT_EQ(c.boxes, boxes);
    if (c.dumped)
    {
        EXPECT_TRUE(std::any_of(output.written.begin(), output.written.end(),
                                [&](const Written& line) { return line.dump && line.message == c.dumped; }))
            << "the library's traces were not written out";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Checks, NameCheckTest,
    ::testing::Values(
        CheckCase{"NothingToSelect",
                  [](SelectTest& t) {
                      ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(CExchRegistry::kConfigKey) + L"\\EVS\\EVS1").c_str());
                      t.Configure(L"EVS9", nullptr, {L"NODE1", L"NODE2"}); // "OTHER": never offered
                  },
                  {}, {IDS_NO_EVS_SELECTED}},
        CheckCase{"InUseElsewhere", [](SelectTest& t) { t.NameInUse(L"EVS1"); }, {}, {IDS_NAME_IN_USE_ELSEWHERE}},
        CheckCase{"OnlineHereDeclined",
                  [](SelectTest& t) { t.NameInUse(L"EVS1"); t.OnlineHere(); }, {}, {IDS_EVS_ONLINE_TAKE_OFFLINE}},
        CheckCase{"OnlineHereTakenOffline", [](SelectTest& t) { t.NameInUse(L"EVS1"); t.OnlineHere(); },
                  {{IDS_EVS_ONLINE_TAKE_OFFLINE, IDYES}}, {IDS_EVS_ONLINE_TAKE_OFFLINE, IDS_CONFIRM_CHANGES}},
        // Online or not cannot be told: as good as not online here, never taken offline.
        CheckCase{"OnlineStateUnreadable",
                  [](SelectTest& t) {
                      t.NameInUse(L"EVS1");
                      t.OnlineHere();
                      t._node.lab.SetClusterFailure(L"QLXObjGetNames", 20, 4711, "The engine says no.");
                  },
                  {}, {IDS_NAME_IN_USE_ELSEWHERE}},
        CheckCase{"OfflineRefused",
                  [](SelectTest& t) {
                      t.NameInUse(L"EVS1");
                      t.OnlineHere({LabGroupOffline::Refuse, 0, 20, 50012, "refused"});
                  },
                  {{IDS_EVS_ONLINE_TAKE_OFFLINE, IDYES}}, {IDS_EVS_ONLINE_TAKE_OFFLINE, IDS_OFFLINE_FAILED}},
        // A name no NetBIOS name can hold whole: checked, not refused.
        CheckCase{"SixtyFourCharacterNameFree",
                  [](SelectTest& t) {
                      ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(CExchRegistry::kConfigKey) + L"\\EVS").c_str());
                      t.Configure(std::wstring(64, L'E').c_str(), kOld, {L"NODE1", L"NODE2"});
                  },
                  {}, {IDS_CONFIRM_CHANGES}},
        CheckCase{"CheckFails",
                  [](SelectTest&) { KvLab::FailFromCall(KvLab::Entry::GetAdaptersInfo, 1, ERROR_NOT_SUPPORTED); },
                  {}, {IDS_NAME_CHECK_FAILED},
                  L"netInfo.Open() returned 2, 0x00000032"}),
    [](const auto& info) { return std::string(info.param.name); });

namespace
{
std::shared_ptr<CSystem> System(const wchar_t* computer, uint32_t code, std::vector<const wchar_t*> carried)
{
    auto system = std::make_shared<CSystem>(computer, std::wstring(L"qlx-") + computer);
    system->exchVersion = code;
    for (const wchar_t* evs : carried)
        system->evsList.Add(std::make_shared<CEVS>(evs));
    return system;
}

int HeaderWidth(HWND list, int column) { return static_cast<int>(::SendMessageW(list, LVM_GETCOLUMNWIDTH, column, 0)); }
} // namespace

// Every cell rule over three nodes (upgradable, at the target, neither), two
// without the unknown server; the
// widths as measured, and no way to change them.
TEST_F(SelectTest, MatrixShowsEachServerOnEachNodeInColumnsThatStay)
{
    Configure(L"EVS1", kOld, {L"NODE1", L"NODE2"});
    const std::wstring longName = L"EVS-WITH-A-RATHER-LONG-NAME-OF-THIRTY-TWO";
    const struct { std::wstring name, version; } servers[] = {{L"EVS1", kOld}, {L"EVS2", kNew}, {longName, L"OTHER"}};
    for (const auto& [name, version] : servers)
    {
        auto evs = std::make_shared<CEVS>(name);
        evs->version = version;
        theApp.m_cluster.evsList.Add(evs);
    }
    theApp.m_cluster.systems.Add(System(L"NODE1", 7, {L"EVS1", L"EVS2", longName.c_str()}));
    theApp.m_cluster.systems.Add(System(L"NODE2", 8, {L"EVS1", L"EVS2"}));
    theApp.m_cluster.systems.Add(System(L"NODE3", 12, {L"EVS1", L"EVS2"}));

    std::vector<CSeenListItem> rows;
    std::vector<int> widths, dragged;
    int nameWidth = 0, wordWidth = 0;
    _node.Run(CTarnwickSheet::kSelectIndex, [&](HWND sheet) {
        ASSERT_TRUE(ScriptedUser::WaitForPage(sheet, IDD_EVS_SELECT));
        const HWND list = ::GetDlgItem(ScriptedUser::CurrentPageWindow(sheet), IDC_EVS_MATRIX);
        // Built again, as each visit to the page builds it: the same columns, none kept from before.
        CListCtrl again;
        again.Attach(list);
        CUpgradeMatrix::Build(again, theApp, [](const CSystem& system) { return system.computerName; });
        again.Attach(nullptr);
        rows = ScriptedUser::ReadList(list);
        for (int column = 0; column < 4; ++column)
            widths.push_back(HeaderWidth(list, column));
        const HDC dc = ::GetDC(list);
        SIZE size{};
        ::GetTextExtentPoint32W(dc, longName.c_str(), static_cast<int>(longName.size()), &size);
        nameWidth = size.cx;
        ::GetTextExtentPoint32W(dc, L"Partially Upgraded", 18, &size);
        wordWidth = size.cx;
        ::ReleaseDC(list, dc);

        // A drag on a divider ends in the header asking the list whether the
        // width may change, as this does.
        const HWND header = reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0));
        HDITEMW wider{};
        wider.mask = HDI_WIDTH;
        wider.cxy = widths[0] + 60;
        ::SendMessageW(header, HDM_SETITEMW, 0, reinterpret_cast<LPARAM>(&wider));
        for (int column = 0; column < 4; ++column)
            dragged.push_back(HeaderWidth(list, column));
        EXPECT_TRUE(ScriptedUser::CancelWizard(sheet));
    });

    const auto slot = [](int s) { return s < 0 ? I_IMAGENONE : theApp.m_images[s]; };
    using C = CTarnwickApp;
    const struct { const wchar_t* words[3]; int slots[3]; } expected[] = {
        {{L"Not Upgraded", L"Partially Upgraded", L"Not Configured"},
         {C::kImageNotUpgraded, C::kImagePartiallyUpgraded, C::kImageNotConfigured}},
        {{L"Partially Upgraded", L"Upgraded", L"Not Configured"},
         {C::kImagePartiallyUpgraded, C::kImageUpgraded, C::kImageNotConfigured}},
        {{L"Version unknown", L"Not Configured", L"Not Configured"}, {-1, C::kImageNotConfigured, C::kImageNotConfigured}}};
    ASSERT_EQ(3u, rows.size());
    for (size_t r = 0; r < rows.size(); ++r)
    {
        ASSERT_EQ(4u, rows[r].columns.size());
        EXPECT_EQ(servers[r].name, rows[r].columns[0]);
        for (int c = 0; c < 3; ++c)
        {
            EXPECT_EQ(expected[r].words[c], rows[r].columns[c + 1]) << "row " << r << " node " << c;
            EXPECT_EQ(slot(expected[r].slots[c]), rows[r].images[c + 1]) << "row " << r << " node " << c;
        }
    }
    EXPECT_GE(widths[0], nameWidth + 10) << "the longest name fits";
    for (int column = 1; column < 4; ++column)
        EXPECT_GE(widths[column], wordWidth + 15) << "column " << column;
    EXPECT_EQ(widths, dragged) << "a column's width changed";
}

// CUpgradeMatrix: see UpgradeMatrix.h.
#include "UpgradeMatrix.h"

#include "StringIds.h"
#include "Tarnwick.h"
#include "Util.h"

#include <algorithm>

namespace
{
constexpr int kHeadingMargin = 25;
constexpr int kNameMargin = 10;
constexpr int kWordMargin = 15;

int TextWidth(HDC dc, const std::wstring& text) noexcept
{
    SIZE size{};
    return ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size) ? size.cx : 0;
}

bool SameText(const std::wstring& a, const std::wstring& b) noexcept
{
    return ::lstrcmpiW(a.c_str(), b.c_str()) == 0;
}

// The list's window DC, released with the owner.
class CListDC
{
public:
    explicit CListDC(HWND list) noexcept : _list(list), _dc(::GetDC(list)) {}
    ~CListDC()
    {
        if (_dc)
            ::ReleaseDC(_list, _dc);
    }
    CListDC(const CListDC&) = delete;
    CListDC& operator=(const CListDC&) = delete;
    HDC Get() const noexcept { return _dc; }

private:
    HWND _list;
    HDC _dc;
};
} // namespace

MatrixCell CUpgradeMatrix::Cell(bool carried, const std::wstring& evsVersion, uint32_t systemCode,
                                const CExchVersionList& versions) noexcept
{
    if (!carried)
        return MatrixCell::NotConfigured;
    const int32_t code = static_cast<int32_t>(systemCode);
    const bool nodeAtTarget = code == versions.upgradeVersion.code;
    const bool nodeUpgradable = CUtil::IsVersionCodeInList(versions.toUpgrade, code);
    if (SameText(evsVersion, versions.upgradeVersion.adVersion))
        return nodeAtTarget     ? MatrixCell::Upgraded
               : nodeUpgradable ? MatrixCell::PartiallyUpgraded
                                : MatrixCell::NotConfigured;
    if (CUtil::IsVersionInList(versions.toUpgrade, evsVersion))
        return nodeAtTarget     ? MatrixCell::PartiallyUpgraded
               : nodeUpgradable ? MatrixCell::NotUpgraded
                                : MatrixCell::NotConfigured;
    return MatrixCell::VersionUnknown;
}

UINT CUpgradeMatrix::Word(MatrixCell cell) noexcept
{
    static constexpr UINT kWords[] = {IDS_STATE_UPGRADED, IDS_STATE_PARTIALLY_UPGRADED, IDS_STATE_NOT_UPGRADED,
                                      IDS_STATE_NOT_CONFIGURED, IDS_STATE_VERSION_UNKNOWN};
    return kWords[static_cast<int>(cell)];
}

int CUpgradeMatrix::Slot(MatrixCell cell) noexcept
{
    static constexpr int kSlots[] = {CTarnwickApp::kImageUpgraded, CTarnwickApp::kImagePartiallyUpgraded,
                                     CTarnwickApp::kImageNotUpgraded, CTarnwickApp::kImageNotConfigured, -1};
    return kSlots[static_cast<int>(cell)];
}

int CUpgradeMatrix::NameColumnWidth(HDC dc, const CCluster& cluster)
{
    int widest = TextWidth(dc, AfxLoadString(IDS_MATRIX_EVS_NAME)) + kHeadingMargin;
    for (const auto& evs : cluster.evsList.Items())
        widest = std::max(widest, TextWidth(dc, evs->name));
    return widest + kNameMargin;
}

int CUpgradeMatrix::SystemColumnWidth(HDC dc, int clientWidth, int nameColumn, size_t systems)
{
    const int least = TextWidth(dc, AfxLoadString(IDS_STATE_PARTIALLY_UPGRADED)) + kWordMargin;
    const int rest = clientWidth - nameColumn;
    const int shared = systems >= 2 ? rest / static_cast<int>(systems) + 1 : rest;
    return std::max(least, shared);
}

void CUpgradeMatrix::Build(const CListCtrl& list, const CTarnwickApp& app,
                           const std::function<std::wstring(const CSystem&)>& heading)
{
    list.DeleteAllItems();
    while (list.SendMessage(LVM_DELETECOLUMN, 0) != FALSE)
    {
    }
    const CCluster& cluster = app.m_cluster;
    const auto& systems = cluster.systems.Items();
    int nameColumn = 0, systemColumn = 0;
    {
        const CListDC dc(list.GetSafeHwnd());
        RECT client{};
        ::GetClientRect(list.GetSafeHwnd(), &client);
        nameColumn = NameColumnWidth(dc.Get(), cluster);
        systemColumn = SystemColumnWidth(dc.Get(), client.right, nameColumn, systems.size());
    }
    list.InsertColumn(0, AfxLoadString(IDS_MATRIX_EVS_NAME), LVCFMT_LEFT, nameColumn);
    for (size_t i = 0; i < systems.size(); ++i)
        list.InsertColumn(static_cast<int>(i) + 1, heading(*systems[i]), LVCFMT_LEFT, systemColumn);
    list.SetImageList(app.m_imageList.GetSafeHandle(), LVSIL_SMALL);
    list.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_SUBITEMIMAGES);

    for (const auto& evs : cluster.evsList.Items())
    {
        const int row = list.InsertItem(list.GetItemCount(), evs->name, I_IMAGENONE);
        for (size_t i = 0; i < systems.size(); ++i)
        {
            const CSystem& system = *systems[i];
            const MatrixCell cell =
                Cell(system.evsList.Find(evs->name) != nullptr, evs->version, system.exchVersion, app.m_versions);
            const int column = static_cast<int>(i) + 1;
            list.SetItemText(row, column, AfxLoadString(Word(cell)));
            const int slot = Slot(cell);
            list.SetItemImage(row, column, slot < 0 ? I_IMAGENONE : app.m_images[slot]);
        }
    }
}

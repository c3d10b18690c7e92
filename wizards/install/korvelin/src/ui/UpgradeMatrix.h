// The upgrade-state matrix of the selection and the completion page: one row
// per virtual server of the cluster, one column per node, each cell the
// state of that server on that node with its picture.
#pragma once

#include "AfxCtrl.h"
#include "Cluster.h"
#include "ExchangeVersionList.h"

#include <functional>
#include <string>

class CTarnwickApp;

enum class MatrixCell
{
    Upgraded,
    PartiallyUpgraded,
    NotUpgraded,
    NotConfigured,
    // A server the catalogue does not know the directory's version of: no
    // state can be told, and saying so beats a guess.
    VersionUnknown
};

class CUpgradeMatrix
{
public:
    // evsVersion is the server's directory version text, systemCode the
    // node's Exchange version code; carried says whether the node has the
    // server in its configuration.
    static MatrixCell Cell(bool carried, const std::wstring& evsVersion, uint32_t systemCode,
                           const CExchVersionList& versions) noexcept;

    // The state word's string id and the picture's slot in the application's
    // image list (-1: none).
    static UINT Word(MatrixCell cell) noexcept;
    static int Slot(MatrixCell cell) noexcept;

    // Column widths in pixels, measured on the list's own device context:
    // the names' column fits its heading and every name; a node's column is
    // never narrower than its widest word and shares out the rest.
    static int NameColumnWidth(HDC dc, const CCluster& cluster);
    static int SystemColumnWidth(HDC dc, int clientWidth, int nameColumn, size_t systems);

    // Shows or hides a page's matrix with its caption and legend.
    template <size_t N> static void ShowWithLegend(HWND page, const int (&controls)[N], bool show) noexcept
    {
        for (const int control : controls)
            ::ShowWindow(::GetDlgItem(page, control), show ? SW_SHOW : SW_HIDE);
    }

    // Fills list (whatever it held before) from the application's cluster
    // record; heading names each node's column.
    static void Build(const CListCtrl& list, const CTarnwickApp& app,
                      const std::function<std::wstring(const CSystem&)>& heading);
};

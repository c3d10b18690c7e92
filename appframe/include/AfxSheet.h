// Wizard97 property sheets and their pages. A page turns each PSN_*
// notification into one virtual method; the sheet owns nothing but its
// header, the pages belong to whoever built the sheet.
#pragma once

#include "AfxWin.h"

#include <commctrl.h>
#include <prsht.h>

#include <string>
#include <vector>

class CPropertySheet;

// The sheet's own buttons, as control ids of the sheet's window.
constexpr int ID_WIZBACK = 0x3023;
constexpr int ID_WIZNEXT = 0x3024;
constexpr int ID_WIZFINISH = 0x3025;

class CPropertyPage : public CWnd
{
public:
    // What OnWizardNext and OnWizardBack return to keep the page showing.
    static constexpr LRESULT kStayOnPage = -1;

    explicit CPropertyPage(UINT dialogId) noexcept;

    UINT GetDialogId() const noexcept { return _dialogId; }
    CPropertySheet* GetParentSheet() const noexcept { return _sheet; }

    // The page's PROPSHEETPAGEW; flags (PSP_HIDEHEADER, PSP_HASHELP ...) may be
    // changed before the sheet is shown.
    PROPSHEETPAGEW m_psp;

protected:
    // TRUE lets the system set the focus.
    virtual BOOL OnInitDialog();
    // TRUE shows the page; FALSE makes the sheet skip it.
    virtual BOOL OnSetActive();
    // TRUE lets the page be left.
    virtual BOOL OnKillActive();
    // 0 goes on to the next page, -1 stays, a dialog id jumps to that page.
    virtual LRESULT OnWizardNext();
    // 0 goes back to the previous page, -1 stays, a dialog id jumps there.
    virtual LRESULT OnWizardBack();
    // TRUE closes the sheet, FALSE keeps it open.
    virtual BOOL OnWizardFinish();
    // TRUE lets Cancel close the sheet, FALSE keeps it open.
    virtual BOOL OnQueryCancel();
    // A command of one of the page's controls (WM_COMMAND): true when handled.
    virtual bool OnCommand(UINT controlId, UINT code, HWND control);
    // A notification of one of the page's controls (WM_NOTIFY not from the
    // sheet): true when handled, with the result in result.
    virtual bool OnControlNotify(const NMHDR& header, LRESULT& result);
    // Every other message of the page (owner drawing, messages of worker
    // threads): true when handled, with the result in result.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

private:
    friend class CPropertySheet;
    static INT_PTR CALLBACK _DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    bool _OnNotify(const NMHDR& header, LRESULT& result);

    UINT _dialogId;
    CPropertySheet* _sheet = nullptr;
};

class CPropertySheet : public CWnd
{
public:
    // caption is a string of the resource module; the bitmaps stay the caller's.
    CPropertySheet(UINT captionId, CWnd* parent, UINT firstPage, HBITMAP watermark, HBITMAP header) noexcept;
    ~CPropertySheet() override = default;

    void AddPage(CPropertyPage* page);
    // Runs the sheet modally: ID_PSREBOOTSYSTEM and the like, 1 after Finish,
    // 0 after Cancel, -1 when it could not be shown.
    INT_PTR DoModal() noexcept;

    // Wizard buttons (PSWIZB_*): sent waits for the sheet, posted does not
    // (for worker threads that must not block on the user-interface thread).
    void SetWizardButtons(DWORD flags) const noexcept;
    void PostWizardButtons(DWORD flags) const noexcept;
    void SetFinishText(const std::wstring& text) const noexcept;
    void SetHeaderTitle(int pageIndex, const std::wstring& text) const noexcept;
    void SetHeaderSubTitle(int pageIndex, const std::wstring& text) const noexcept;
    void PressButton(int button) const noexcept;

    PROPSHEETHEADERW m_psh;

protected:
    // Called once the sheet's window exists, before the first page shows.
    virtual BOOL OnInitDialog();

private:
    static int CALLBACK _Callback(HWND sheet, UINT message, LPARAM lParam);

    std::wstring _caption;
    std::vector<CPropertyPage*> _pages;
    std::vector<PROPSHEETPAGEW> _pageHeaders;
};

// CMessageCatalogue: see MessageCatalogue.h.
#include "MessageCatalogue.h"

#include "AfxWin.h"
#include "LoggerBasic.h"
#include "MessageBoxWithURL.h"

#include <iterator>

namespace
{
constexpr int kFormatBuffer = 4096;

struct Severity
{
    UINT label;
    UINT icon;
};
constexpr Severity kSeverities[] = {
    {CMessageCatalogue::kLabelCritical, MB_ICONERROR}, {CMessageCatalogue::kLabelError, MB_ICONERROR},
    {CMessageCatalogue::kLabelWarning, MB_ICONWARNING}, {CMessageCatalogue::kLabelNotice, MB_ICONINFORMATION},
    {CMessageCatalogue::kLabelInfo, MB_ICONINFORMATION},
};

bool LoadFormat(UINT messageId, std::wstring& format)
{
    if (messageId == CMessageCatalogue::kNoCatalogueText)
    {
        format = L"%s";
        return true;
    }
    wchar_t buffer[kFormatBuffer] = {};
    const HINSTANCE module = AfxGetResourceHandle();
    if (!module || ::LoadStringW(module, messageId, buffer, kFormatBuffer) <= 0)
        return false;
    format = buffer;
    return true;
}
} // namespace

bool CMessageCatalogue::Compose(int severity, UINT style, UINT messageId, va_list args, CMessageTexts& out) noexcept
{
    try
    {
        std::wstring format;
        if (!LoadFormat(messageId, format))
            return false;
        if (severity < 0 || severity >= static_cast<int>(std::size(kSeverities)))
            return false;
        const Severity& kind = kSeverities[severity];

        const std::wstring label = AfxLoadString(kind.label);
        const std::wstring linkLine = AfxLoadString(kLinkLine);
        if (label.empty() || linkLine.empty())
            return false;

        std::wstring text, product, level, uniqueId;
        g_Logger.FormatMessagePartsV(text, product, level, uniqueId, severity, messageId, format.c_str(), args);

        const std::wstring linkBase = AfxLoadString(kLinkBase);
        if (linkBase.empty())
            return false;

        out.caption = product + L" " + label;
        out.body = text + L"\n" + L"\n" + label + L" " + uniqueId + L"\n\n" + linkLine + L"\n";
        out.link = linkBase + uniqueId;
        out.style = style | kind.icon;
        return true;
    }
    catch (...)
    {
        return false;
    }
}

int CMessageCatalogue::Show(int severity, UINT style, UINT messageId, ...) noexcept
{
    va_list args;
    va_start(args, messageId);
    const int result = ShowV(severity, style, messageId, args);
    va_end(args);
    return result;
}

int CMessageCatalogue::ShowV(int severity, UINT style, UINT messageId, va_list args) noexcept
{
    CMessageTexts texts;
    if (!Compose(severity, style, messageId, args, texts))
        return kNotShown;

    HWND owner = nullptr;
    if (CWnd* main = AfxGetMainWnd())
        owner = main->GetSafeHwnd();
    // The box is modal over the owner; repaint the owner first so it is not
    // left half drawn behind the box.
    if (owner)
        ::InvalidateRect(owner, nullptr, TRUE);

    MessageBoxWithURL box(std::move(texts.body), std::move(texts.link), std::move(texts.caption), texts.style, owner,
                          TRUE);
    return box.DoModal();
}

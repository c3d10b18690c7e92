// Every message box of the wizard goes through here: the text comes from the
// language module by message identifier and is decorated with a caption, a
// severity label, the unique message identifier and a help link.
#pragma once

#include "StringIds.h"

#include <windows.h>

#include <cstdarg>
#include <cstdint>
#include <string>

// Severities of a message box (the logger's level numbers).
enum : int
{
    MSG_CRITICAL = 0,
    MSG_ERROR = 1,
    MSG_WARNING = 2,
    MSG_NOTICE = 3,
    MSG_INFO = 4,
};

struct CMessageTexts
{
    std::wstring caption;
    std::wstring body;
    std::wstring link;
    UINT style = 0;
};

class CMessageCatalogue
{
public:
    // No catalogue text: the first argument is the whole message.
    static constexpr UINT kNoCatalogueText = 0xFFFFFFFFu;
    // Returned when nothing could be shown; it matches no button.
    static constexpr int kNotShown = -1;

    static constexpr UINT kLabelCritical = IDS_LABEL_CRITICAL;
    static constexpr UINT kLabelError = IDS_LABEL_ERROR;
    static constexpr UINT kLabelWarning = IDS_LABEL_WARNING;
    static constexpr UINT kLabelNotice = IDS_LABEL_NOTICE;
    static constexpr UINT kLabelInfo = IDS_LABEL_INFORMATION;
    static constexpr UINT kLinkBase = IDS_HELP_LINK_BASE;
    static constexpr UINT kLinkLine = IDS_HELP_LINK_LINE;

    // Shows the message; returns the MessageBoxW result or kNotShown.
    static int Show(int severity, UINT style, UINT messageId, ...) noexcept;
    static int ShowV(int severity, UINT style, UINT messageId, va_list args) noexcept;

    // Builds the texts of a box without showing it; false when a text it
    // needs is missing from the language module or the severity is unknown.
    static bool Compose(int severity, UINT style, UINT messageId, va_list args, CMessageTexts& out) noexcept;
};

// Composing and showing catalogue messages.
#include "MessageCatalogue.h"

#include "AfxWin.h"
#include "L10nUtil.h"
#include "ScriptedUser.h"
#include "WizardTestEnvironment.h"
#include "L10nTestIds.h"
#include "StringIds.h"

#include <gtest/gtest.h>

#include <thread>
#include <tuple>
#include <vector>

namespace
{
bool ComposeOf(CMessageTexts& out, int severity, UINT style, UINT id, ...)
{
    va_list args;
    va_start(args, id);
    const bool composed = CMessageCatalogue::Compose(severity, style, id, args, out);
    va_end(args);
    return composed;
}

struct MessageCatalogueTest : ::testing::Test { CScopedResourceModule _module{L10nUtil::SelectModule(L"L10nTest", 0x0409)}; };
} // namespace

// Every severity with its label and icon, beside the caller's buttons; the link is checked on a real box.
TEST_F(MessageCatalogueTest, ComposesCaptionBodyLinkAndStyle)
{
    const std::tuple<int, const wchar_t*, UINT> severities[] = {
        {MSG_CRITICAL, L"Critical", MB_ICONERROR}, {MSG_ERROR, L"Error", MB_ICONERROR}, {MSG_WARNING, L"Warning", MB_ICONWARNING},
        {MSG_NOTICE, L"Notice", MB_ICONINFORMATION}, {MSG_INFO, L"Information", MB_ICONINFORMATION}};
    CMessageTexts texts;
    for (const auto& [severity, label, icon] : severities)
    {
        ASSERT_TRUE(ComposeOf(texts, severity, MB_YESNO | MB_DEFBUTTON2, IDS_CONFIG_UNREADABLE, L"NODE1"));
        EXPECT_EQ(std::pair(L"QLX " + std::wstring(label), static_cast<UINT>(MB_YESNO | MB_DEFBUTTON2) | icon),
                  std::pair(texts.caption, texts.style));
        EXPECT_EQ(L"The configuration of NODE1 could not be read.\n\n" + std::wstring(label) +
                      L" " KV_MESSAGE_TAG(IDS_CONFIG_UNREADABLE) "\n\nMore about this message:\n",
                  texts.body);
    }
    // Without catalogue text the argument is the message, verbatim; identifiers are signed, so it is -1.
    ASSERT_TRUE(ComposeOf(texts, MSG_WARNING, MB_OK, CMessageCatalogue::kNoCatalogueText, L"100% done, %s left"));
    EXPECT_EQ(0u, texts.body.find(L"100% done, %s left\n\nWarning M-42-13--1 \n"));
}

// Nothing shown, so no box waits for an answer here.
TEST_F(MessageCatalogueTest, NothingIsShownWithoutEveryText)
{
    EXPECT_EQ(-1, CMessageCatalogue::Show(5, MB_OK, IDS_CONFIG_UNREADABLE, L"x")) << "severity above 4";
    EXPECT_EQ(-1, CMessageCatalogue::Show(-1, MB_OK, IDS_CONFIG_UNREADABLE, L"x"));
    EXPECT_EQ(-1, CMessageCatalogue::Show(MSG_ERROR, MB_OK, 7999)) << "message missing from the module";
    CScopedResourceModule zht(L10nUtil::SelectModule(L"L10nTest", 0x0404));
    ASSERT_EQ(L"zht", AfxLoadString(IDS_TEST_LANGUAGE_TAG));
    EXPECT_EQ(-1, CMessageCatalogue::Show(MSG_ERROR, MB_OK, IDS_CONFIG_UNREADABLE, L"x")) << "module without a link base";
    CScopedResourceModule none(nullptr);
    EXPECT_EQ(-1, CMessageCatalogue::Show(MSG_ERROR, MB_OK, IDS_CONFIG_UNREADABLE, L"x"));
    EXPECT_EQ(-1, CMessageCatalogue::Show(MSG_INFO, MB_OK, CMessageCatalogue::kNoCatalogueText, L"x")) << "no label";
}

// Real boxes under X, answered by the scripted user from a second thread.
TEST_F(MessageCatalogueTest, RealBoxesShowTheHelpLinkAndReturnTheAnswer)
{
    CSeenMessageBox seen;
    std::thread user([&seen] {
        if (HWND box = ScriptedUser::WaitForMessageBox(KV_MESSAGE_TAGW(IDS_EVS_ONLINE_TAKE_OFFLINE), 15000))
        {
            seen = ScriptedUser::Read(box);
            ScriptedUser::Answer(box, IDNO);
        }
    });
    EXPECT_EQ(IDNO, CMessageCatalogue::Show(MSG_ERROR, MB_YESNO | MB_ICONERROR, IDS_EVS_ONLINE_TAKE_OFFLINE, L"EVS1"));
    user.join();
    EXPECT_EQ(0u, seen.text.find(L"Take EVS1 offline?\n"));
    EXPECT_NE(std::wstring::npos, seen.linkText.find(L"https://help.example/kb?id=" KV_MESSAGE_TAG(IDS_EVS_ONLINE_TAKE_OFFLINE)));
    // Below the text, clear of the buttons, inside the box.
    EXPECT_GE(seen.linkRect.top, seen.textRect.bottom + 10);
    EXPECT_GE(seen.buttonsRect.top, seen.linkRect.bottom + 10) << "the buttons move down to make room";
    EXPECT_LE(seen.buttonsRect.bottom, seen.client.bottom) << "the box grows with them";
    EXPECT_LE(seen.linkRect.right, seen.client.right);
    EXPECT_EQ((std::vector<int>{IDYES, IDNO}), seen.buttons);
}

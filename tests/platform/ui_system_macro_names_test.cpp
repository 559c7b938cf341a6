// A file that sees the platform's own header first, where the caption's and
// the message box's usual names are macros, still calls the window's own
// members: it is compiled here with those macros defined as that header
// defines them, and links only if no member is spelled as one of them.
#define SetWindowText SetWindowTextW
#define GetWindowText GetWindowTextW
#define MessageBox MessageBoxW

#include <gtest/gtest.h>

#include "platform/ui_headless.h"
#include "ui_test_dialog.h"

namespace {

TEST(UiMemberNames, CaptionAndMessageBoxAreReachedBehindTheSystemHeadersMacros) {
    ui::headless::resetSession();
    uitest::TestDialog dlg;
    std::string caption;
    dlg.onInit = [&caption](uitest::TestDialog& d) {
        d.SetTitle("caption");
        caption = d.Title();
        d.ShowMessage("message");
    };
    dlg.DoModal();
    EXPECT_EQ(caption, "caption");
    EXPECT_EQ(ui::headless::messageBoxes(), std::vector<std::string>{"message"});
    ui::headless::resetSession();
}

}  // namespace

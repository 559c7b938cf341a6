// The title bar dialog changes the caption on OK and nothing on Cancel.
#include "platform/text.h"
#include "support/monitor_fixture.h"

using text::jp;

namespace {

class TitleBarTest : public MonitorTest {
protected:
    // Opens the title bar dialog from the main window; the inner script is
    // the user in that dialog.
    void changeTitle(Window& main, const std::function<void(Window&)>& inDialog) {
        ui::headless::queueModalScript(inDialog);
        main.click(ids::titleBarButton);
    }
};

TEST_F(TitleBarTest, OkMakesTheEditedTextTheCaption) {
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        changeTitle(w, [](Window& d) {
            EXPECT_EQ(d.text(ids::titleEdit), variant::productName);
            d.type(ids::titleEdit, jp("ライン1"));
            d.click(ui::idOk);
        });
        EXPECT_EQ(w.caption(), jp("ライン1"));
        EXPECT_EQ(dlg.titleText, jp("ライン1"));
        EXPECT_EQ(dlg.eventLog.freshHeaderOwed(), false);
    });
}

TEST_F(TitleBarTest, EnterInTheEditChoosesOkAndAnEmptyTextGivesAnEmptyCaption) {
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        changeTitle(w, [](Window& d) {
            EXPECT_EQ(d.focused(), ui::idOk);
            d.focus(ids::titleEdit);
            d.type(ids::titleEdit, "");
            d.pressKey(ui::Key::Enter);
            EXPECT_TRUE(d.ended());
        });
        EXPECT_EQ(w.caption(), "");
        EXPECT_EQ(dlg.titleText, "");
    });
}

TEST_F(TitleBarTest, CancelEnterOnCancelEscapeAndCloseLeaveTheCaptionAlone) {
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        changeTitle(w, [](Window& d) {
            d.type(ids::titleEdit, "A");
            d.click(ui::idCancel);
        });
        changeTitle(w, [](Window& d) {
            d.type(ids::titleEdit, "B");
            d.pressKey(ui::Key::Escape);
        });
        changeTitle(w, [](Window& d) {
            d.focus(ids::titleEdit);
            d.type(ids::titleEdit, "Wrong");
            d.focus(ui::idCancel);
            d.pressKey(ui::Key::Enter);
            EXPECT_EQ(d.endCode(), ui::idCancel);
        });
        changeTitle(w, [](Window& d) {
            d.type(ids::titleEdit, "C");
            d.closeBox();
        });
        EXPECT_EQ(w.caption(), variant::productName);
        EXPECT_EQ(dlg.titleText, variant::productName);
    });
}

TEST_F(TitleBarTest, KelvaneLimitsTypingToFiftyBytesAfterShowingTheWholeTitle) {
    const std::string longTitle(60, 'T');
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        dlg.titleText = longTitle;
        changeTitle(w, [&](Window& d) {
            EXPECT_EQ(d.text(ids::titleEdit), longTitle);
            if (isKelvane) {
                EXPECT_EQ(d.textLimit(ids::titleEdit), 50);
                d.type(ids::titleEdit, jp("あ") + std::string(60, 'x'));
                EXPECT_EQ(d.text(ids::titleEdit).size(), 50u);
            } else {
                EXPECT_EQ(d.textLimit(ids::titleEdit), std::nullopt);
            }
            d.click(ui::idOk);
        });
        EXPECT_EQ(dlg.titleText.size(), isKelvane ? 50u : longTitle.size());
    });
}

}  // namespace

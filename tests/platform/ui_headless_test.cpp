// The headless backend's controls, keys, modal runs and common dialogs, as
// the dialog code sees them through the routing table and the driver.
#include "platform/ui_headless.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/text.h"
#include "ui_test_dialog.h"

namespace {

using ui::headless::Window;
using namespace uitest;

// CP932 あ and い: two double-byte characters.
const std::string hiraganaA = "\x82\xa0";
const std::string hiraganaI = "\x82\xa2";

class HeadlessDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui::headless::resetSession();
        ui::setApplicationName("Tester");
    }
    void TearDown() override { ui::headless::resetSession(); }

    static void script(std::function<void(Window&)> fn) {
        ui::headless::queueModalScript(std::move(fn));
    }
};

TEST_F(HeadlessDialogTest, NotificationsReachTheirRowsOfTheRoutingTable) {
    TestDialog dlg;
    dlg.onInit = [](TestDialog& d) { d.item(comboId).addString("a"); };
    script([](Window& w) {
        w.click(buttonId);
        w.click(buttonId);
        w.click(checkId);
        w.pickComboEntry(comboId, 0);
        w.type(editId, "x");
        w.click(labelId);
        w.click(unknownId);
        EXPECT_FALSE(w.dialog().OnCommand(ui::Notification::Clicked, labelId));
    });
    EXPECT_EQ(dlg.DoModal(), ui::idCancel);
    EXPECT_EQ(dlg.buttonClicks, 2);
    EXPECT_EQ(dlg.checkClicks, 1);
    EXPECT_EQ(dlg.comboPicks, 1);
    EXPECT_EQ(dlg.editChanges, 1);
}

TEST_F(HeadlessDialogTest, TextSetByTheProgramNotifiesSingleLineEditsOnly) {
    TestDialog dlg;
    dlg.onInit = [](TestDialog& d) {
        d.item(editId).setText("abc");
        d.item(logEditId).setText("line 1\r\n");
        d.item(labelId).setText("label");
    };
    script([&dlg](Window& w) {
        EXPECT_EQ(dlg.editChanges, 1);
        // At the caret, which the set text left at its start.
        dlg.item(logEditId).replaceSel("line 2\r\n");
        EXPECT_EQ(w.text(logEditId), "line 2\r\nline 1\r\n");
        EXPECT_EQ(w.text(labelId), "label");
        w.type(editId, "typed");
    });
    dlg.DoModal();
    // The handler already reads the new text when the change arrives.
    EXPECT_EQ(dlg.editTextsSeen, (std::vector<std::string>{"abc", "typed"}));
    EXPECT_EQ(dlg.logChanges, 1);  // from replaceSel only
}

TEST_F(HeadlessDialogTest, TypingStopsAtTheLimitWithoutSplittingACharacter) {
    TestDialog dlg;
    dlg.onInit = [](TestDialog& d) { d.item(editId).limitText(5); };
    script([&dlg](Window& w) {
        EXPECT_EQ(w.textLimit(editId), 5);
        EXPECT_EQ(w.textLimit(digitsEditId), std::nullopt);
        w.type(editId, "ab" + hiraganaA + hiraganaI);
        EXPECT_EQ(w.text(editId), "ab" + hiraganaA);
        w.type(editId, "abcdefg");
        EXPECT_EQ(w.text(editId), "abcde");
        dlg.item(editId).setText(hiraganaA + hiraganaA + hiraganaA);
        EXPECT_EQ(w.text(editId), hiraganaA + hiraganaA + hiraganaA);
    });
    dlg.DoModal();
    EXPECT_EQ(dlg.editChanges, 3);
}

TEST_F(HeadlessDialogTest, DisabledHiddenAndReadOnlyControlsIgnoreTheUser) {
    TestDialog dlg;
    dlg.onInit = [](TestDialog& d) {
        d.item(buttonId).enable(false);
        d.item(checkId).enable(false);
        d.item(editId).show(false);
        d.item(comboId).addString("a");
        d.item(comboId).enable(false);
    };
    script([&dlg](Window& w) {
        EXPECT_FALSE(w.enabled(buttonId));
        EXPECT_FALSE(w.visible(editId));
        EXPECT_TRUE(w.visible(labelId));
        w.click(buttonId);
        w.setCheck(checkId, true);
        w.type(editId, "x");
        w.type(readOnlyEditId, "x");
        w.pickComboEntry(comboId, 0);
        EXPECT_FALSE(w.checked(checkId));
        EXPECT_EQ(w.text(editId), "");
        EXPECT_EQ(w.text(readOnlyEditId), text::jp("読み取り"));
        EXPECT_EQ(w.curSel(comboId), -1);
        dlg.item(buttonId).enable(true);
        w.click(buttonId);
    });
    dlg.DoModal();
    EXPECT_EQ(dlg.buttonClicks, 1);
    EXPECT_EQ(dlg.checkClicks, 0);
    EXPECT_EQ(dlg.editChanges, 0);
    EXPECT_EQ(dlg.comboPicks, 0);
}

TEST_F(HeadlessDialogTest, CheckBoxesToggleOnClickAndTheProgramsStateDoesNotNotify) {
    TestDialog dlg;
    script([&dlg](Window& w) {
        w.click(checkId);
        EXPECT_TRUE(w.checked(checkId));
        w.setCheck(checkId, true);
        w.setCheck(checkId, false);
        EXPECT_FALSE(w.checked(checkId));
        dlg.item(checkId).setChecked(true);
        EXPECT_TRUE(w.checked(checkId));
        EXPECT_TRUE(dlg.item(checkId).isChecked());
    });
    dlg.DoModal();
    EXPECT_EQ(dlg.checkClicks, 2);
}

TEST_F(HeadlessDialogTest, DropDownListsHoldEntriesAndReportOnlyUserPicks) {
    TestDialog dlg;
    dlg.onInit = [](TestDialog& d) {
        for (const char* entry : {"a", "b", "c"}) d.item(comboId).addString(entry);
        d.item(comboId).setCurSel(1);
    };
    script([&dlg](Window& w) {
        EXPECT_EQ(w.comboEntries(comboId), (std::vector<std::string>{"a", "b", "c"}));
        EXPECT_EQ(w.curSel(comboId), 1);
        EXPECT_EQ(w.text(comboId), "b");
        w.pickComboEntry(comboId, 2);
        EXPECT_EQ(dlg.item(comboId).curSel(), 2);
        EXPECT_EQ(w.text(comboId), "c");
        w.pickComboEntry(comboId, 3);
        EXPECT_EQ(w.curSel(comboId), 2);
        dlg.item(comboId).setCurSel(5);
        EXPECT_EQ(w.curSel(comboId), -1);
        EXPECT_EQ(w.text(comboId), "");
    });
    dlg.DoModal();
    EXPECT_EQ(dlg.comboPicks, 1);
}

TEST_F(HeadlessDialogTest, LayoutTextsCaptionIconsFontsAndInvalidations) {
    TestDialog dlg;
    script([&dlg](Window& w) {
        EXPECT_EQ(w.caption(), text::jp("テスト"));
        EXPECT_EQ(w.text(labelId), text::jp("状態"));
        EXPECT_EQ(w.text(digitsEditId), "0");
        EXPECT_EQ(w.fontOf(editId).face, "ＭＳ Ｐゴシック");
        EXPECT_EQ(w.fontOf(editId).tenthsOfPoint, 90);
        EXPECT_FALSE(w.icons().bigIcon.has_value());

        dlg.SetTitle(text::jp("新しい題"));
        dlg.SetIcon(128, true);
        dlg.SetIcon(129, false);
        ui::Font font;
        font.createPointFont(120, "ＭＳ ゴシック");
        dlg.item(labelId).setFont(font);
        dlg.item(lampId).invalidate();
        dlg.item(lampId).invalidate();

        EXPECT_EQ(w.caption(), text::jp("新しい題"));
        EXPECT_EQ(dlg.Title(), text::jp("新しい題"));
        EXPECT_EQ(w.icons().bigIcon, 128);
        EXPECT_EQ(w.icons().smallIcon, 129);
        EXPECT_EQ(w.fontOf(labelId).face, "ＭＳ ゴシック");
        EXPECT_EQ(w.fontOf(labelId).tenthsOfPoint, 120);
        EXPECT_EQ(w.invalidationCount(lampId), 2);
        EXPECT_EQ(w.invalidationCount(labelId), 0);
    });
    dlg.DoModal();
}

TEST_F(HeadlessDialogTest, UnknownIdsDoNothingAndReadEmpty) {
    TestDialog dlg;
    script([&dlg](Window& w) {
        const ui::Control missing = dlg.item(unknownId);
        missing.setText("x");
        missing.addString("x");
        missing.setCurSel(0);
        missing.setChecked(true);
        missing.limitText(3);
        EXPECT_EQ(missing.text(), "");
        EXPECT_FALSE(missing.isEnabled());
        EXPECT_EQ(w.text(unknownId), "");
        EXPECT_FALSE(w.visible(unknownId));
        EXPECT_EQ(w.curSel(unknownId), -1);
        EXPECT_FALSE(w.checked(unknownId));
        EXPECT_TRUE(w.comboEntries(unknownId).empty());
        EXPECT_EQ(w.textLimit(unknownId), std::nullopt);
        EXPECT_FALSE(w.colourOf(unknownId).brush.has_value());
    });
    dlg.DoModal();
    EXPECT_EQ(dlg.editChanges, 0);
}

TEST_F(HeadlessDialogTest, ColourRequestsCarryThePlatformsKindAndTheHandlersDecision) {
    TestDialog dlg;
    dlg.lampBrush.createSolid(ui::rgb(255, 0, 0));
    script([&dlg](Window& w) {
        const auto lamp = w.colourOf(lampId);
        EXPECT_EQ(lamp.kind, ui::CtlKind::Static);
        EXPECT_EQ(lamp.brush, ui::rgb(255, 0, 0));
        EXPECT_EQ(lamp.textColor, ui::rgb(255, 255, 255));
        const auto label = w.colourOf(labelId);
        EXPECT_FALSE(label.brush.has_value());  // a brush never created is the default face
        EXPECT_EQ(label.textBackground, ui::rgb(0, 0, 0));
        EXPECT_FALSE(w.colourOf(editId).brush.has_value());

        EXPECT_EQ(w.colourOf(editId).kind, ui::CtlKind::Edit);
        EXPECT_EQ(w.colourOf(readOnlyEditId).kind, ui::CtlKind::Static);
        EXPECT_EQ(w.colourOf(checkId).kind, ui::CtlKind::Static);
        EXPECT_EQ(w.colourOf(buttonId).kind, ui::CtlKind::Button);
        EXPECT_EQ(w.colourOf(ui::idOk).kind, ui::CtlKind::Button);
        dlg.item(editId).enable(false);
        EXPECT_EQ(w.colourOf(editId).kind, ui::CtlKind::Static);
    });
    dlg.DoModal();
}

TEST_F(HeadlessDialogTest, MinimisedPaintErasesAndDrawsTheIconInTheMiddle) {
    TestDialog dlg;
    script([](Window& w) {
        const ui::Size client = w.clientSize();
        EXPECT_EQ(client.cx, 300);  // 200 dialog units at 6 px per 4
        EXPECT_EQ(client.cy, 163);  // 100 dialog units at 13 px per 8, rounded
        EXPECT_EQ(ui::Dialog::SystemIconSize().cx, 32);

        const auto normal = w.paint();
        EXPECT_FALSE(normal.handled);
        EXPECT_FALSE(normal.backgroundErased);
        EXPECT_TRUE(normal.icons.empty());

        w.setMinimised(true);
        EXPECT_TRUE(w.dialog().IsIconic());
        const auto minimised = w.paint();
        EXPECT_TRUE(minimised.handled);
        EXPECT_TRUE(minimised.backgroundErased);
        EXPECT_EQ(minimised.icons, (std::vector<ui::headless::Point>{{134, 66}}));
    });
    dlg.DoModal();
}

TEST_F(HeadlessDialogTest, ModalRunsEndWithTheCodeOfHowTheUserLeft) {
    struct Case {
        const char* how;
        std::function<void(Window&)> script;
        int expected;
        bool endedByScript;
    };
    const std::vector<Case> cases = {
        {"OK button", [](Window& w) { w.click(ui::idOk); }, ui::idOk, true},
        {"Cancel button", [](Window& w) { w.click(ui::idCancel); }, ui::idCancel, true},
        {"Enter, default pre-translation", [](Window& w) { w.pressKey(ui::Key::Enter); }, ui::idOk,
         true},
        {"Escape, default pre-translation", [](Window& w) { w.pressKey(ui::Key::Escape); },
         ui::idCancel, true},
        {"close box", [](Window& w) { w.closeBox(); }, ui::idCancel, true},
        {"program's own code", [](Window& w) { w.dialog().EndDialog(42); }, 42, true},
        {"script without an end", [](Window&) {}, ui::idCancel, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        TestDialog dlg;
        bool endSeen = false;
        int codeSeen = 0;
        script([&](Window& w) {
            c.script(w);
            endSeen = w.ended();
            codeSeen = w.endCode();
        });
        EXPECT_EQ(dlg.DoModal(), c.expected);
        EXPECT_EQ(endSeen, c.endedByScript);
        if (c.endedByScript) {
            EXPECT_EQ(codeSeen, c.expected);
        }
    }
    TestDialog unscripted;
    EXPECT_EQ(unscripted.DoModal(), ui::idCancel);
}

TEST_F(HeadlessDialogTest, ADialogEndedByItsInitialisationLeavesTheScriptForTheNextRun) {
    bool scriptRan = false;
    script([&](Window&) { scriptRan = true; });
    TestDialog ending;
    ending.onInit = [](TestDialog& d) { d.EndDialog(7); };
    EXPECT_EQ(ending.DoModal(), 7);
    EXPECT_FALSE(scriptRan);
    TestDialog next;
    next.DoModal();
    EXPECT_TRUE(scriptRan);
}

TEST_F(HeadlessDialogTest, UnhandledEnterAndEscapeArePlainKeystrokes) {
    TestDialog dlg;
    dlg.preTranslate = [](const ui::KeyMessage&) { return false; };
    script([](Window& w) {
        w.pressKey(ui::Key::Enter);
        EXPECT_FALSE(w.ended());
        w.pressKey(ui::Key::Escape);
        EXPECT_FALSE(w.ended());
    });
    EXPECT_EQ(dlg.DoModal(), ui::idCancel);
    EXPECT_EQ(dlg.keyCodesSeen, (std::vector<int>{0x0D, 0x1B}));
    EXPECT_EQ(dlg.buttonClicks, 0);
}

TEST_F(HeadlessDialogTest, ANestedModalRunTakesTheNextScriptAndReturnsToTheOuter) {
    TestDialog outer;
    std::vector<std::string> order;
    int innerCode = 0;
    std::string innerText;
    outer.onButton = [&](TestDialog& d) {
        TestDialog inner(&d);
        inner.onDestroy = [&](TestDialog& i) { innerText = i.item(editId).text(); };
        innerCode = inner.DoModal();
        order.push_back("inner returned");
    };
    script([&](Window& w) {
        order.push_back("outer");
        w.click(buttonId);
        order.push_back("outer again");
        EXPECT_EQ(w.text(editId), "");
        EXPECT_FALSE(w.ended());
        w.click(ui::idOk);
    });
    script([&](Window& w) {
        order.push_back("inner");
        EXPECT_EQ(w.dialog().owner(), &outer);
        w.type(editId, "typed");
        w.click(ui::idOk);
    });
    EXPECT_EQ(outer.DoModal(), ui::idOk);
    EXPECT_EQ(innerCode, ui::idOk);
    EXPECT_EQ(innerText, "typed");
    EXPECT_EQ(order, (std::vector<std::string>{"outer", "inner", "inner returned", "outer again"}));
}

TEST_F(HeadlessDialogTest, MessageBoxesAreRecordedWithTheApplicationsName) {
    TestDialog dlg;
    dlg.onInit = [](TestDialog& d) {
        d.ShowMessage(text::jp("エラー"));
        d.ShowMessage("second");
    };
    dlg.DoModal();
    EXPECT_EQ(ui::headless::messageBoxes(),
              (std::vector<std::string>{text::jp("エラー"), "second"}));
    EXPECT_EQ(ui::headless::messageBoxCaptions(), (std::vector<std::string>{"Tester", "Tester"}));
}

TEST_F(HeadlessDialogTest, FileDialogsTakeTheQueuedAnswersAndCancelWithoutOne) {
    using Outcome = ui::FileChoice::Outcome;
    ui::headless::queueFileDialogAnswer(std::string("/tmp/a.kvx"));
    ui::headless::queueFileDialogAnswer(std::nullopt);
    // Names as the file system gives them: Japanese that CP932 holds, and
    // letters that it lacks.
    ui::headless::queueFileDialogAnswerUtf8("/tmp/\u30ed\u30b0.csv");
    ui::headless::queueFileDialogAnswerUtf8("/tmp/log_\u00e9.csv");
    std::vector<ui::FileChoice> answers;
    TestDialog dlg;
    dlg.onInit = [&](TestDialog& d) {
        ui::FileDialogRequest save;
        save.defaultExtension = "kvx";
        save.initialPath = "/tmp/Kelvane.kvx";
        save.filter = "kvx file (*.kvx)|*.kvx||";
        ui::FileDialogRequest open = save;
        open.save = false;
        answers.push_back(d.FileDialog(save));
        answers.push_back(d.FileDialog(open));
        answers.push_back(d.FileDialog(save));
        answers.push_back(d.FileDialog(save));
        answers.push_back(d.FileDialog(open));
    };
    dlg.DoModal();
    EXPECT_EQ(answers, (std::vector<ui::FileChoice>{{Outcome::Chosen, "/tmp/a.kvx"},
                                                    {Outcome::Cancelled, ""},
                                                    {Outcome::Chosen, "/tmp/\x83\x8D\x83\x4F.csv"},
                                                    {Outcome::NotCp932, ""},
                                                    {Outcome::Cancelled, ""}}));
    const auto requests = ui::headless::fileDialogRequests();
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_TRUE(requests[0].save);
    EXPECT_FALSE(requests[1].save);
    EXPECT_EQ(requests[0].defaultExtension, "kvx");
    EXPECT_EQ(requests[0].initialPath, "/tmp/Kelvane.kvx");
    EXPECT_EQ(requests[0].filter, "kvx file (*.kvx)|*.kvx||");
}

TEST_F(HeadlessDialogTest, ResetSessionForgetsScriptsAnswersAndRecords) {
    bool scriptRan = false;
    script([&](Window&) { scriptRan = true; });
    ui::headless::queueFileDialogAnswer(std::string("/tmp/x"));
    TestDialog first;
    first.onInit = [](TestDialog& d) {
        d.ShowMessage("box");
        d.EndDialog(ui::idOk);
    };
    first.DoModal();
    ui::headless::resetSession();
    EXPECT_TRUE(ui::headless::messageBoxes().empty());
    EXPECT_TRUE(ui::headless::fileDialogRequests().empty());

    ui::FileChoice answer{ui::FileChoice::Outcome::Chosen, "unset"};
    TestDialog second;
    second.onInit = [&](TestDialog& d) { answer = d.FileDialog({}); };
    second.DoModal();
    EXPECT_FALSE(scriptRan);
    EXPECT_EQ(answer.outcome, ui::FileChoice::Outcome::Cancelled);
}

}  // namespace

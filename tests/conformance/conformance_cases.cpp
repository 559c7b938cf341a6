// The behaviour every ui backend shares with the platform's own dialog
// manager and controls, one case per behaviour, written once and run on
// the headless, Qt and Win32 backends alike.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "conformance_layouts.h"
#include "driver.h"
#include "platform/text.h"
#include "probe_dialog.h"

namespace conformance {
namespace {

using text::jp;
using ui::Notification;

class Conformance : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_TRUE(harness().finish()); }

    static int focusOf(Driver& d) { return d.dialog().FocusedControl(); }
    static std::string textOf(Driver& d, int id) { return d.dialog().item(id).text(); }
};

TEST_F(Conformance, TabOrderAndTheFirstFocus) {
    ProbeDialog form;
    form.onInit = [](ProbeDialog& f) { f.item(disabledEdit).enable(false); };
    harness().queue([](Driver& d) {
        // The first tab stop, past the static before it.
        EXPECT_EQ(focusOf(d), nameEdit);
        // Template order, past a read-only edit that is no tab stop and a
        // disabled one, round to the first again.
        const int forward[] = {digitsEdit, limitedEdit, recordCheck,  pressButton,
                               choiceList, ui::idOk,    ui::idCancel, nameEdit};
        for (int expected : forward) {
            d.pressKey(ui::vk::tab);
            EXPECT_EQ(focusOf(d), expected);
        }
        d.pressKey(ui::vk::tab, true);
        EXPECT_EQ(focusOf(d), ui::idCancel);
        d.pressKey(ui::vk::tab, true);
        EXPECT_EQ(focusOf(d), ui::idOk);
    });
    EXPECT_EQ(form.DoModal(), ui::idCancel);
}

TEST_F(Conformance, AccessKeys) {
    ProbeDialog form;
    harness().queue([&form](Driver& d) {
        d.focus(ui::idCancel);
        // A static's key takes the focus to the tab stop after it.
        d.pressAccessKey('N');
        EXPECT_TRUE(d.waitFor([&] { return focusOf(d) == nameEdit; }));
        // A check box's toggles it, a button's presses it.
        d.pressAccessKey('R');
        EXPECT_TRUE(d.waitFor([&] {
            return form.count({Notification::Clicked, recordCheck}) == 1;
        }));
        EXPECT_TRUE(form.item(recordCheck).isChecked());
        d.pressAccessKey('P');
        EXPECT_TRUE(d.waitFor([&] {
            return form.count({Notification::Clicked, pressButton}) == 1;
        }));
        EXPECT_EQ(form.count({Notification::Clicked, ui::idCancel}), 0u);
    });
    EXPECT_EQ(form.DoModal(), ui::idCancel);
}

TEST_F(Conformance, EnterAndEscapeInADialogThatTakesThem) {
    ProbeDialog form;
    harness().queue([&form](Driver& d) {
        // Enter presses the focused push button, and the dialog goes on.
        d.focus(pressButton);
        d.pressKey(ui::vk::enter);
        EXPECT_TRUE(d.waitFor([&] {
            return form.count({Notification::Clicked, pressButton}) == 1;
        }));
        // Elsewhere it is the default button's command.
        d.typeKeys(nameEdit, "");
        d.pressKey(ui::vk::enter);
    });
    EXPECT_EQ(form.DoModal(), ui::idOk);
    EXPECT_EQ(form.count({Notification::Clicked, ui::idOk}), 1u);

    ProbeDialog again;
    harness().queue([](Driver& d) { d.pressKey(ui::vk::escape); });
    EXPECT_EQ(again.DoModal(), ui::idCancel);
}

TEST_F(Conformance, EnterAndEscapeThatTheDialogDeclinesArePlainKeystrokes) {
    ProbeDialog form;
    form.declineEnterAndEscape = true;
    harness().queue([&form](Driver& d) {
        for (int id : {nameEdit, pressButton, choiceList}) {
            d.focus(id);
            d.pressKey(ui::vk::enter);
            d.pressKey(ui::vk::escape);
        }
        const auto keys = form.keysSeen();
        EXPECT_EQ(std::count(keys.begin(), keys.end(), ui::vk::enter), 3);
        EXPECT_EQ(std::count(keys.begin(), keys.end(), ui::vk::escape), 3);
        EXPECT_EQ(form.commandsSeen(), std::vector<Command>{});
        // Still open: the OK button ends it.
        d.click(ui::idOk);
    });
    EXPECT_EQ(form.DoModal(), ui::idOk);
}

TEST_F(Conformance, EscapeAndEnterOnAnOpenDropDownListCloseTheList) {
    ProbeDialog form;
    form.onInit = [](ProbeDialog& f) {
        for (const char* entry : {"一", "二", "三"}) f.item(choiceList).addString(jp(entry));
        f.item(choiceList).setCurSel(1);
    };
    harness().queue([&form](Driver& d) {
        d.focus(choiceList);
        for (int key : {ui::vk::escape, ui::vk::enter}) {
            d.pressKey(ui::vk::f4);
            ASSERT_TRUE(d.waitFor([&] { return d.dropped(choiceList); }));
            d.pressKey(key);
            EXPECT_TRUE(d.waitFor([&] { return !d.dropped(choiceList); }));
            EXPECT_EQ(form.item(choiceList).curSel(), 1);
        }
        EXPECT_EQ(form.count({Notification::Clicked, ui::idOk}), 0u);
        EXPECT_EQ(form.count({Notification::Clicked, ui::idCancel}), 0u);
        d.click(ui::idOk);
    });
    EXPECT_EQ(form.DoModal(), ui::idOk);
}

TEST_F(Conformance, DigitsOnlyByteLimitedAndReadOnlyEdits) {
    ProbeDialog form;
    form.onInit = [](ProbeDialog& f) {
        f.item(limitedEdit).limitText(3);
        f.item(nameEdit).limitText(0);
    };
    harness().queue([&form](Driver& d) {
        d.typeKeys(digitsEdit, "1a2");
        EXPECT_EQ(textOf(d, digitsEdit), "12");
        // Three bytes hold one double-byte character and one more byte.
        d.typeKeys(limitedEdit, jp("あい"));
        EXPECT_EQ(textOf(d, limitedEdit), jp("あ"));
        d.typeKeys(limitedEdit, "xy");
        EXPECT_EQ(textOf(d, limitedEdit), jp("あ") + "x");
        // A limit of 0 is no limit.
        const std::string many(40, 'a');
        d.typeKeys(nameEdit, many);
        EXPECT_EQ(textOf(d, nameEdit), many);
        d.typeKeys(readOnlyEdit, "x");
        EXPECT_EQ(textOf(d, readOnlyEdit), jp("読み取り専用"));
        EXPECT_EQ(form.count({Notification::Changed, readOnlyEdit}), 0u);
    });
    form.DoModal();
}

TEST_F(Conformance, ReplaceSelInsertsAtTheCaret) {
    ProbeDialog form;
    form.onInit = [](ProbeDialog& f) { f.item(nameEdit).setText("ac"); };
    harness().queue([](Driver& d) {
        d.typeKeys(nameEdit, "");
        d.pressKey(ui::vk::left);
        EXPECT_TRUE(d.onWindow([&] { d.dialog().item(nameEdit).replaceSel("b"); }));
        EXPECT_EQ(textOf(d, nameEdit), "abc");
        d.pressKey(ui::vk::end);
        d.onWindow([&] { d.dialog().item(nameEdit).replaceSel("d"); });
        EXPECT_EQ(textOf(d, nameEdit), "abcd");
        d.pressKey(ui::vk::home);
        d.pressKey(ui::vk::deleteKey);
        EXPECT_EQ(textOf(d, nameEdit), "bcd");
    });
    form.DoModal();
}

TEST_F(Conformance, ChangedOnTypingAndOnSetText) {
    ProbeDialog form;
    harness().queue([&form](Driver& d) {
        const Command changed{Notification::Changed, nameEdit};
        d.typeKeys(nameEdit, "ab");
        EXPECT_EQ(form.count(changed), 2u);
        // The program's own text notifies a single-line edit too, even the same text.
        d.onWindow([&] { form.item(nameEdit).setText("ab"); });
        EXPECT_EQ(form.count(changed), 3u);
        d.typeKeys(digitsEdit, "x");
        EXPECT_EQ(form.count({Notification::Changed, digitsEdit}), 0u);
    });
    form.DoModal();
}

TEST_F(Conformance, CheckBoxesButtonsAndDropDownLists) {
    ProbeDialog form;
    form.onInit = [](ProbeDialog& f) {
        for (const char* entry : {"一", "二", "三"}) f.item(choiceList).addString(jp(entry));
    };
    harness().queue([&form](Driver& d) {
        d.click(recordCheck);
        EXPECT_TRUE(form.item(recordCheck).isChecked());
        EXPECT_EQ(form.count({Notification::Clicked, recordCheck}), 1u);
        d.onWindow([&] { form.item(recordCheck).setChecked(false); });
        EXPECT_FALSE(form.item(recordCheck).isChecked());
        EXPECT_EQ(form.count({Notification::Clicked, recordCheck}), 1u);

        d.click(pressButton);
        EXPECT_EQ(form.count({Notification::Clicked, pressButton}), 1u);
        d.onWindow([&] { form.item(pressButton).enable(false); });
        d.click(pressButton);
        EXPECT_EQ(form.count({Notification::Clicked, pressButton}), 1u);

        // Entries added leave the list without a selection; the arrows move
        // it, each move a SelChange; the program's choice is none.
        EXPECT_EQ(form.item(choiceList).curSel(), -1);
        d.focus(choiceList);
        d.pressKey(ui::vk::down);
        d.pressKey(ui::vk::down);
        EXPECT_EQ(form.item(choiceList).curSel(), 1);
        EXPECT_EQ(textOf(d, choiceList), jp("二"));
        EXPECT_EQ(form.count({Notification::SelChange, choiceList}), 2u);
        d.onWindow([&] { form.item(choiceList).setCurSel(2); });
        EXPECT_EQ(textOf(d, choiceList), jp("三"));
        d.onWindow([&] { form.item(choiceList).resetContent(); });
        EXPECT_EQ(form.item(choiceList).curSel(), -1);
        EXPECT_EQ(form.count({Notification::SelChange, choiceList}), 2u);
    });
    form.DoModal();
}

// A focused control that is disabled or hidden hands the focus to the next
// tab stop, so that the keyboard still reaches the dialog.
TEST_F(Conformance, TheFocusMovesOnFromAControlDisabledOrHidden) {
    ProbeDialog form;
    harness().queue([&form](Driver& d) {
        d.focus(pressButton);
        d.onWindow([&] { form.item(pressButton).enable(false); });
        EXPECT_TRUE(d.waitFor([&] { return focusOf(d) == choiceList; }));
        d.onWindow([&] { form.item(choiceList).show(false); });
        EXPECT_TRUE(d.waitFor([&] { return focusOf(d) == ui::idOk; }));
        // One without the focus leaves it where it is.
        d.onWindow([&] { form.item(nameEdit).enable(false); });
        EXPECT_EQ(focusOf(d), ui::idOk);
        d.pressKey(ui::vk::escape);
    });
    EXPECT_EQ(form.DoModal(), ui::idCancel);
}

TEST_F(Conformance, TheCloseBoxIsTheCancelCommand) {
    ProbeDialog form;
    form.refuseCancel = true;
    harness().queue([&form](Driver& d) {
        d.closeBox();
        EXPECT_TRUE(d.waitFor([&] {
            return form.count({Notification::Clicked, ui::idCancel}) == 1;
        }));
        form.refuseCancel = false;
        d.closeBox();
    });
    EXPECT_EQ(form.DoModal(), ui::idCancel);
    EXPECT_EQ(form.count({Notification::Clicked, ui::idCancel}), 2u);
}

TEST_F(Conformance, AModalDialogsOwnerPlacementAndEndCode) {
    ProbeDialog form;
    int innerCode = 0;
    std::optional<ui::Rect> formFrame;
    form.onClick = [&innerCode](ProbeDialog&, int id) {
        if (id != pressButton) return;
        ProbeDialog inner(innerLayout());
        innerCode = inner.DoModal();
    };
    harness().queue([&](Driver& d) {
        formFrame = d.frame();
        d.click(pressButton);
        EXPECT_EQ(innerCode, 42);
    });
    harness().queue([&](Driver& d) {
        // Without an owner of its own, the innermost modal run owns it.
        EXPECT_EQ(d.ownerCaption(), formLayout().caption);
        const auto frame = d.frame();
        ASSERT_EQ(frame.has_value(), formFrame.has_value());
        if (frame) {
            const auto centre = [](const ui::Rect& r) {
                return std::pair(2 * r.x + r.cx, 2 * r.y + r.cy);
            };
            // Centre on centre, give or take a pixel of rounding each way
            // (the centres are doubled).
            EXPECT_NEAR(centre(*frame).first, centre(*formFrame).first, 4);
            EXPECT_NEAR(centre(*frame).second, centre(*formFrame).second, 4);
        }
        d.onWindow([&] { d.dialog().EndDialog(42); });
    });
    EXPECT_EQ(form.DoModal(), ui::idCancel);
}

TEST_F(Conformance, WorkPostedToAClosedWindowNeverRuns) {
    ProbeDialog form;
    harness().queue([&form](Driver& d) {
        ProbeDialog child(childLayout(), &form);
        child.driven = false;
        bool childWorkRan = false;
        bool formWorkRan = false;
        bool calledAfterClose = true;
        EXPECT_TRUE(d.onWindow([&] {
            ASSERT_TRUE(child.Create());
            child.PostToWindowThread([&] { childWorkRan = true; });
            child.DestroyWindow();
            child.PostToWindowThread([&] { childWorkRan = true; });
            calledAfterClose = child.CallOnWindowThread([] {});
            form.PostToWindowThread([&] { formWorkRan = true; });
        }));
        EXPECT_FALSE(calledAfterClose);
        // Work posted after it, to a window still open, has run.
        EXPECT_TRUE(d.waitFor([&] {
            bool ran = false;
            d.onWindow([&] { ran = formWorkRan; });
            return ran;
        }));
        bool childRan = true;
        d.onWindow([&] { childRan = childWorkRan; });
        EXPECT_FALSE(childRan);
    });
    form.DoModal();
}

// A worker's work posted or called while the window runs its end handler
// never runs beside it: the window thread is busy ending; the call waits for
// the close and fails.
TEST_F(Conformance, AWorkersCallDuringTheWindowsEndNeverRunsBesideIt) {
    ProbeDialog form;
    std::mutex mutex;
    std::condition_variable changed;
    bool ending = false;
    // Stays set: a worker slower than the handler's wait must not wait for ever.
    bool endBegan = false;
    bool ranWhileEnding = false;
    bool callSucceeded = true;
    form.onDestroy = [&] {
        std::unique_lock lock(mutex);
        ending = true;
        endBegan = true;
        changed.notify_all();
        // Long enough for a call run on the worker's thread to show.
        changed.wait_for(lock, std::chrono::milliseconds(500), [&] { return ranWhileEnding; });
        ending = false;
    };
    harness().queue([&](Driver& d) {
        EXPECT_TRUE(form.StartWorker([&] {
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return endBegan; });
            }
            const auto work = [&] {
                std::lock_guard lock(mutex);
                if (ending) ranWhileEnding = true;
                changed.notify_all();
            };
            form.PostToWindowThread(work);
            const bool called = form.CallOnWindowThread(work);
            std::lock_guard lock(mutex);
            callSucceeded = called;
        }));
        d.onWindow([&] { form.EndDialog(ui::idOk); });
    });
    form.DoModal();
    std::lock_guard lock(mutex);
    EXPECT_FALSE(ranWhileEnding);
    EXPECT_FALSE(callSucceeded);
}

TEST_F(Conformance, TimersFireUntilKilled) {
    ProbeDialog form;
    harness().queue([&form](Driver& d) {
        d.onWindow([&] { form.SetTimer(1, 10); });
        EXPECT_TRUE(d.waitFor([&] { return form.timerCount(1) >= 3; }));
        std::size_t fired = 0;
        d.onWindow([&] {
            form.KillTimer(1);
            fired = form.timerCount(1);
            form.SetTimer(2, 10);
        });
        // Another timer's three turns leave the killed one still.
        EXPECT_TRUE(d.waitFor([&] { return form.timerCount(2) >= 3; }));
        EXPECT_EQ(form.timerCount(1), fired);
    });
    form.DoModal();
}

TEST_F(Conformance, TheDrawingSurfacesMouseAndWheel) {
    using K = ui::MouseEvent::Kind;
    using B = ui::MouseEvent::Button;
    ProbeDialog form;
    harness().queue([&form](Driver& d) {
        d.mouse(diagram, {K::Press, 10, 5, B::Right, false, true, false, 0});
        d.mouse(diagram, {K::Release, 10, 5, B::Right, false, true, false, 0});
        d.mouse(diagram, {K::Press, 20, 6, B::Left, false, false, true, 0});
        d.mouse(diagram, {K::Move, 25, 7, B::None, true, false, false, 0});
        d.mouse(diagram, {K::Release, 25, 7, B::Left, false, false, false, 0});
        d.mouse(diagram, {K::Wheel, 30, 8, B::None, false, false, false, 120});
        EXPECT_TRUE(d.waitFor([&] {
            const auto mice = form.miceSeen();
            return std::any_of(mice.begin(), mice.end(), [](const ui::MouseEvent& e) {
                return e.kind == ui::MouseEvent::Kind::Wheel;
            });
        }));
    });
    form.DoModal();
    struct Seen {
        K kind;
        int x, y;
        B button;
        bool left, right, shift, control;
        int wheel;
        bool operator==(const Seen&) const = default;
    };
    std::vector<Seen> seen;
    bool dragged = false;
    for (const ui::MouseEvent& e : form.miceSeen()) {
        // The pointer's own comings and goings are the window system's.
        if (e.kind == K::Leave) continue;
        if (e.kind == K::Move) {
            if (e.x == 25 && e.y == 7 && e.leftButton) dragged = true;
            continue;
        }
        seen.push_back({e.kind, e.x, e.y, e.button, e.leftButton, e.rightButton, e.shift, e.control,
                        e.wheelDelta});
    }
    const std::vector<Seen> expected = {
        {K::Press, 10, 5, B::Right, false, true, true, false, 0},
        {K::Release, 10, 5, B::Right, false, false, true, false, 0},
        {K::Press, 20, 6, B::Left, true, false, false, true, 0},
        {K::Release, 25, 7, B::Left, false, false, false, false, 0},
        {K::Wheel, 30, 8, B::None, false, false, false, false, 120},
    };
    EXPECT_EQ(seen, expected);
    EXPECT_TRUE(dragged);
}

TEST_F(Conformance, NamedKeysReachThePreTranslation) {
    ProbeDialog form;
    harness().queue([&form](Driver& d) {
        d.focus(pressButton);
        for (int key : {ui::vk::up, ui::vk::down, ui::vk::deleteKey, ui::vk::home, ui::vk::end}) {
            d.pressKey(key);
        }
        EXPECT_EQ(form.keysSeen(), (std::vector<int>{ui::vk::up, ui::vk::down, ui::vk::deleteKey,
                                                     ui::vk::home, ui::vk::end}));
    });
    form.DoModal();
}

TEST_F(Conformance, CtrlAndShiftComeWithTheKey) {
    ProbeDialog form;
    harness().queue([&form](Driver& d) {
        d.focus(pressButton);
        d.pressKey(ui::vk::right, false, true);
        d.pressKey(ui::vk::left, true, true);
        d.pressKey(ui::vk::down, true, false);
        d.pressKey(ui::vk::up);
        using Seen = std::tuple<int, bool, bool>;
        EXPECT_EQ(form.keysWithModifiersSeen(), (std::vector<Seen>{{ui::vk::right, true, false},
                                                                   {ui::vk::left, true, true},
                                                                   {ui::vk::down, false, true},
                                                                   {ui::vk::up, false, false}}));
    });
    form.DoModal();
}

TEST_F(Conformance, TextOnTheClipboard) {
    ProbeDialog form;
    harness().queue([&form](Driver& d) {
        bool copied = false;
        d.onWindow([&] { copied = form.CopyTextToClipboard(jp("測定 12 ms")); });
        EXPECT_TRUE(copied);
        EXPECT_EQ(d.clipboardText(), jp("測定 12 ms"));
    });
    form.DoModal();
}

}  // namespace
}  // namespace conformance

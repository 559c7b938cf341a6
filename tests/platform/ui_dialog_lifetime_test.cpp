// A dialog's window and the objects that stand for it end in an order that
// lets the derived class clean up and leaves nothing referring to what is gone.
#include <gtest/gtest.h>

#include "platform/ui_headless.h"
#include "ui_test_dialog.h"

namespace {

using ui::headless::Window;
using namespace uitest;

class DialogLifetimeTest : public ::testing::Test {
protected:
    void SetUp() override { ui::headless::resetSession(); }
    void TearDown() override { ui::headless::resetSession(); }
};

TEST_F(DialogLifetimeTest, AnOwnersCloseRunsTheOwnCleanUpOfItsOpenModelessWindows) {
    TestDialog owner;
    int childCleanUps = 0;
    {
        TestDialog child(&owner);
        child.onDestroy = [&](TestDialog&) { ++childCleanUps; };
        ui::headless::queueModalScript([&](Window&) { ASSERT_TRUE(child.Create()); });
        owner.DoModal();
        EXPECT_EQ(childCleanUps, 1);
        EXPECT_FALSE(child.IsWindowOpen());
    }
    EXPECT_EQ(childCleanUps, 1);
}

TEST_F(DialogLifetimeTest, AModelessWindowClosedBeforeItsOwnerIsNotClosedAgain) {
    TestDialog owner;
    int childCleanUps = 0;
    TestDialog child(&owner);
    child.onDestroy = [&](TestDialog&) { ++childCleanUps; };
    ui::headless::queueModalScript([&](Window&) {
        ASSERT_TRUE(child.Create());
        child.DestroyWindow();
    });
    owner.DoModal();
    EXPECT_EQ(childCleanUps, 1);
}

TEST_F(DialogLifetimeTest, TheCallGateEndsWithTheModalRunsBackend) {
    TestDialog dlg;
    ui::headless::queueModalScript([](Window& w) { EXPECT_NE(w.dialog().gate(), nullptr); });
    dlg.DoModal();
    EXPECT_EQ(dlg.backend(), nullptr);
    EXPECT_EQ(dlg.gate(), nullptr);
    EXPECT_FALSE(dlg.CallOnWindowThread([] {}));
    EXPECT_FALSE(dlg.StartWorker([] {}));
}

}  // namespace

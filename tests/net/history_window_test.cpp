// The signal history window on the headless backend: one window from the
// main window's button, which closes with it; frames of a device become
// changes in their rows, shown up to the present; a log opens in the
// background, is followed as it grows, and the diagram is copied and saved.
#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <thread>

#include "history/wall_clock.h"
#include "net_fixture.h"
#include "platform/fs.h"
#include "platform/wall_clock.h"
#include "store/log_file_gate.h"
#include "window/history_dlg.h"

using namespace nettest;

namespace {

using ui::headless::DrawOp;

class HistoryWindow : public NetTest {
protected:
    static CHistoryDlg& open(Window& w, CMonitorDlg& dlg) {
        w.click(ids::historyButton);
        return *dlg.historyDlg;
    }
    static Window& handsOf(CHistoryDlg& history) { return ui::headless::windowOf(history); }
    // Saves the range to path and waits until its worker has told the
    // window how it went.
    static void saveRange(Window& h, const std::string& path) {
        ui::headless::queueFileDialogAnswer(path);
        h.click(ids::historySaveRange);
        EXPECT_TRUE(eventually([&] { return h.enabled(ids::historySaveRange); }));
    }

    // The fills of one colour in a row's band, from the diagram's last paint.
    static std::vector<ui::Rect> fillsInRow(CHistoryDlg& history, const std::vector<DrawOp>& ops,
                                            int row, ui::Color colour) {
        const Band band = bandOf(history.geometry(), row);
        std::vector<ui::Rect> fills;
        for (const DrawOp& op : ops) {
            if (op.kind == DrawOp::Kind::Fill && op.color == colour && op.area.y == band.top &&
                op.area.cy == band.height) {
                fills.push_back(op.area);
            }
        }
        return fills;
    }
    static bool drawsText(const std::vector<DrawOp>& ops, const std::string& cp932) {
        return std::any_of(ops.begin(), ops.end(), [&](const DrawOp& op) {
            return op.kind == DrawOp::Kind::Text && op.text == cp932;
        });
    }

    // A log's lines, in the shape either program writes them.
    static std::string logHeader(const std::string& firstName) {
        return text::jp("日付,時刻,接続元IPアドレス") + "," + firstName +
               (isKelvane ? ",B,C,X,Y,Z\r\n" : ",B,C,D,E\r\n");
    }
    static std::string logLine(const std::string& when, const std::string& from, unsigned on) {
        std::string line = when + "," + from;
        for (int k = 0; k < (isKelvane ? 6 : 5); ++k) line += (on >> k & 1u) != 0 ? ",1" : ",0";
        return line + "\r\n";
    }
    // A log of three changes from two devices, the first row's name "A".
    static std::string firstLog() {
        return logHeader("A") + logLine("2024/05/01,09:30:00", "10.0.0.1", 0b001) +
               logLine("2024/05/01,09:30:02", "10.0.0.2", 0b011) +
               logLine("2024/05/01,09:30:04", "10.0.0.1", 0b010);
    }
    // Opens the log from the window's button and waits until it is shown.
    static void openLog(Window& h, const std::string& path) {
        ui::headless::queueFileDialogAnswer(path);
        h.click(ids::historyOpenLog);
        ASSERT_TRUE(eventually([&] {
            return h.text(ids::historySource).rfind(text::jp("ログ "), 0) == 0;
        })) << h.text(ids::historySource);
    }
    // Whether the source line tells of old.csv with that many changes. The
    // follower looks at the file once a second and may wait a second more
    // for the writer's turn, so callers give it well beyond that.
    static bool showsLog(Window& h, int changes, int skipped = 0) {
        h.fireTimer(CHistoryDlg::refreshTimer);
        return h.text(ids::historySource) == text::jp("ログ old.csv: 変化 ") +
                                                 std::to_string(changes) +
                                                 text::jp(" 件、読み飛ばした行 ") +
                                                 std::to_string(skipped) + text::jp(" 行 (追従中)");
    }
    // A log that now holds only the second file shows its one device, its
    // names and its changes: nothing of the first file is left over.
    static void expectOnlyTheSecondFile(CHistoryDlg& history, Window& h) {
        EXPECT_EQ(history.rowNames()[0], "N");
        EXPECT_EQ(h.comboEntries(ids::historyFilter),
                  (std::vector<std::string>{text::jp("すべて"), "10.0.0.9"}));
        const history::Timeline& shown = history.shown();
        ASSERT_GE(shown.size(), 1u);
        for (std::size_t i = 0; i < shown.size(); ++i) {
            EXPECT_EQ(shown.at(i).address, address(10, 0, 0, 9)) << i;
        }
        EXPECT_EQ(shown.at(0).on, 0b100);
    }
    // The second file's next line is followed on from its new end.
    void expectTheSecondFileFollowed(CHistoryDlg& history, Window& h) const {
        {
            std::ofstream more(pathOf("old.csv"), std::ios::binary | std::ios::app);
            more << logLine("2024/06/02,10:00:01", "10.0.0.9", 0b000);
        }
        ASSERT_TRUE(eventually([&] { return showsLog(h, 2); }, 10s)) << h.text(ids::historySource);
        expectOnlyTheSecondFile(history, h);
        EXPECT_EQ(history.shown().back().on, 0b000);
        expectTheSecondFilesBands(history, h);
    }
    // With the second file's input 3 on from one line to the next, the
    // diagram draws that one band, and none in the rows of inputs 1 and 2,
    // which only the first file switched on.
    static void expectTheSecondFilesBands(CHistoryDlg& history, Window& h) {
        h.fireTimer(CHistoryDlg::refreshTimer);
        const auto ops = h.paintSurface(ids::historyDiagram);
        EXPECT_EQ(fillsInRow(history, ops, 2, diagram_colours::on).size(), 1u);
        EXPECT_TRUE(fillsInRow(history, ops, 0, diagram_colours::on).empty());
        EXPECT_TRUE(fillsInRow(history, ops, 1, diagram_colours::on).empty());
    }
};

TEST_F(HistoryWindow, TheButtonOpensOneWindowBesideTheMainWindowAndItClosesWithIt) {
    auto dlg = std::make_unique<CMonitorDlg>();
    ui::headless::queueModalScript([&](Window& w) {
        CHistoryDlg& history = open(w, *dlg);
        ASSERT_TRUE(history.IsWindowOpen());
        Window& h = handsOf(history);
        EXPECT_EQ(h.caption(), text::jp("信号の履歴"));
        EXPECT_EQ(h.timerInterval(CHistoryDlg::refreshTimer), 100);
        // Again: the same window comes to the front.
        w.click(ids::historyButton);
        EXPECT_EQ(dlg->historyDlg.get(), &history);
        EXPECT_EQ(h.frontRequests(), 1);

        // The main window goes on working; its names label the rows.
        w.type(ids::inputNameEdit1, "Pump");
        h.fireTimer(CHistoryDlg::refreshTimer);
        EXPECT_TRUE(drawsText(h.paintSurface(ids::historyDiagram), "Pump"));
        EXPECT_EQ(h.text(ids::historySource).rfind(text::jp("ライブ: 起動からの変化 1 件"), 0), 0u)
            << h.text(ids::historySource);

        // Enter closes nothing; Escape closes the window and its timer.
        h.pressKey(ui::Key::Enter);
        EXPECT_TRUE(history.IsWindowOpen());
        h.pressKey(ui::Key::Escape);
        EXPECT_FALSE(history.IsWindowOpen());
        EXPECT_FALSE(w.ended());
        w.click(ids::historyButton);
        EXPECT_TRUE(dlg->historyDlg->IsWindowOpen());
        EXPECT_EQ(handsOf(history).timerInterval(CHistoryDlg::refreshTimer), 100);
    });
    dlg->DoModal();
    EXPECT_FALSE(dlg->historyDlg->IsWindowOpen());
}

TEST_F(HistoryWindow, FramesOfADeviceShowInTheirRowsUpToThePresent) {
    const int port = freePort();
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        startWith(w, {"", str(port), "", ""});
        CHistoryDlg& history = open(w, dlg);
        Window& h = handsOf(history);
        Device device(port);
        device.send({0xFC, 0x02, 0x02});
        ASSERT_EQ(device.receive(2).size(), 2u);
        h.fireTimer(CHistoryDlg::refreshTimer);

        const history::Timeline& shown = history.shown();
        const std::size_t last = shown.size() - 1;
        EXPECT_EQ(shown.at(last).on, 0b010);
        EXPECT_EQ(shown.changedAt(last), 0b010);
        EXPECT_EQ(shown.at(last).address, deviceAddress());
        EXPECT_EQ(shown.at(last).port, port);

        // Following the present: the right edge is now, and the band of
        // input 2 runs up to it.
        const history::TimeView& view = history.view();
        EXPECT_TRUE(view.following());
        EXPECT_NEAR(view.timeAt(view.columns()), static_cast<double>(wallclock::localNowMs()),
                    1000.0);
        const DiagramGeometry g = history.geometry();
        std::vector<ui::Rect> bands;
        const auto bandsOfInput = [&](int row, ui::Color colour) {
            h.fireTimer(CHistoryDlg::refreshTimer);
            return fillsInRow(history, h.paintSurface(ids::historyDiagram), row, colour);
        };
        // Once the change is a column old, a red band from it to the right edge.
        ASSERT_TRUE(eventually([&] {
            bands = bandsOfInput(1, diagram_colours::on);
            return bands.size() == 1 && bands[0].x + bands[0].cx == g.width;
        }));
        EXPECT_TRUE(bandsOfInput(0, diagram_colours::on).empty());
        // Time goes on: the band's start moves left while its end stays.
        const int start = bands[0].x;
        EXPECT_TRUE(eventually([&] {
            bands = bandsOfInput(1, diagram_colours::on);
            return bands.size() == 1 && bands[0].x < start && bands[0].x + bands[0].cx == g.width;
        }));

        // The pointer on the band names the change and who sent it.
        h.mouse(ids::historyDiagram,
                {ui::MouseEvent::Kind::Move, bands[0].x + 1, bands[0].y + 1, 0, false, false});
        const std::string pointed = h.text(ids::historyPointer);
        EXPECT_EQ(pointed.rfind(text::jp("DI2 が ON  "), 0), 0u) << pointed;
        EXPECT_NE(pointed.find(text::jp("送信元 127.0.0.3  ポート ") + str(port)),
                  std::string::npos)
            << pointed;

        // The filter offers the port and the device.
        EXPECT_EQ(h.comboEntries(ids::historyFilter),
                  (std::vector<std::string>{text::jp("すべて"), text::jp("ポート ") + str(port),
                                            deviceAddressText}));

        if constexpr (isKelvane) {
            // An ON/OFF click is a change of the output's row, made here.
            w.type(ids::destPortEdit, str(freePort()));
            w.click(ids::outputButton1);
            h.fireTimer(CHistoryDlg::refreshTimer);
            const std::size_t toggle = history.shown().size() - 1;
            EXPECT_EQ(history.shown().changedAt(toggle), 0b001000);
            EXPECT_EQ(history.shown().at(toggle).address, 0u);
        }

        // A stop greys the input rows from then on.
        w.click(ids::serverButton);
        h.fireTimer(CHistoryDlg::refreshTimer);
        EXPECT_EQ(history.shown().back().stopped, 1);
        EXPECT_TRUE(eventually([&] {
            const auto grey = bandsOfInput(1, diagram_colours::stopped);
            return !grey.empty() && grey.back().x + grey.back().cx == g.width;
        }));
    });
}

TEST_F(HistoryWindow, ALogOpensInTheBackgroundIsFollowedAsItGrowsAndTheDiagramIsSaved) {
    const std::string titles = text::jp("日付,時刻,接続元IPアドレス");
    const std::string data = isKelvane ? ",1,0,0,0,0,0\r\n" : ",1,0,0,0,0\r\n";
    const std::string names = isKelvane ? ",A,B,C,X,Y,Z\r\n" : ",A,B,C,D,E\r\n";
    writeFile("old.csv", titles + names + "2024/05/01,09:30:00,10.0.0.1" + data +
                             "not a line of ours\r\n2024/05/01,09:30:02,10.0.0.2" +
                             (isKelvane ? ",0,1,0,0,0,0\r\n" : ",0,1,0,0,0\r\n"));
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        CHistoryDlg& history = open(w, dlg);
        Window& h = handsOf(history);
        ui::headless::queueFileDialogAnswer(pathOf("old.csv"));
        h.click(ids::historyOpenLog);
        ASSERT_TRUE(eventually([&] {
            return h.text(ids::historySource).rfind(text::jp("ログ "), 0) == 0;
        })) << h.text(ids::historySource);
        EXPECT_EQ(h.text(ids::historySource),
                  text::jp("ログ old.csv: 変化 2 件、読み飛ばした行 1 行 (追従中)"));
        EXPECT_TRUE(h.enabled(ids::historyLive));
        EXPECT_EQ(history.rowNames()[0], "A");
        EXPECT_EQ(h.comboEntries(ids::historyFilter),
                  (std::vector<std::string>{text::jp("すべて"), "10.0.0.1", "10.0.0.2"}));

        // Lines written later come in at the reader's next look at the file,
        // but not while the log's writer has its turn at it: nothing comes in
        // for longer than a look a second and a second of tries.
        const auto growsTo = [&](int changes) {
            h.fireTimer(CHistoryDlg::refreshTimer);
            return h.text(ids::historySource)
                       .find(text::jp(": 変化 ") + std::to_string(changes) + text::jp(" 件")) !=
                   std::string::npos;
        };
        std::mutex handOver;
        std::condition_variable changed;
        bool writerHasTurn = false;
        bool writerDone = false;
        std::thread writer([&] {
            std::lock_guard turn(*dlg.eventLog.fileGates()->at(pathOf("old.csv")));
            std::unique_lock lock(handOver);
            writerHasTurn = true;
            changed.notify_all();
            changed.wait(lock, [&] { return writerDone; });
        });
        {
            std::unique_lock lock(handOver);
            changed.wait(lock, [&] { return writerHasTurn; });
        }
        {
            std::ofstream more(pathOf("old.csv"), std::ios::binary | std::ios::app);
            more << titles << ",P,Q,R" << (isKelvane ? ",X,Y,Z" : ",S,T") << "\r\n"
                 << "2024/05/01,09:30:05,10.0.0.1" << data;
        }
        EXPECT_FALSE(eventually([&] { return growsTo(3); }, 2500ms));
        {
            std::lock_guard lock(handOver);
            writerDone = true;
        }
        changed.notify_all();
        writer.join();
        EXPECT_TRUE(eventually([&] { return growsTo(3); }, 5000ms));
        EXPECT_EQ(history.rowNames()[0], "P");

        // One device only: what the second device switched does not show.
        h.pickComboEntry(ids::historyFilter, 1);
        EXPECT_EQ(history.shown().size(), 1u);

        // The picture: copied, and saved as a PNG of the diagram's size.
        h.focus(ids::historyDiagram);
        h.pressKeyCode('C', true);
        const auto copied = ui::headless::clipboardImages();
        ASSERT_EQ(copied.size(), 1u);
        const ui::Rect place = h.place(ids::historyDiagram);
        EXPECT_EQ(copied[0].width, place.cx);
        EXPECT_EQ(copied[0].height, place.cy);
        ui::headless::queueFileDialogAnswer(pathOf("view.png"));
        h.click(ids::historySavePng);
        const std::string png = readFile("view.png");
        ASSERT_GT(png.size(), 24u);
        EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
        EXPECT_EQ(png.substr(16, 8), std::string({0, 0, static_cast<char>(place.cx >> 8),
                                                  static_cast<char>(place.cx & 0xFF), 0, 0,
                                                  static_cast<char>(place.cy >> 8),
                                                  static_cast<char>(place.cy & 0xFF)}));

        // Back to the live history.
        h.click(ids::historyLive);
        EXPECT_EQ(h.text(ids::historySource).rfind(text::jp("ライブ"), 0), 0u);
        EXPECT_FALSE(h.enabled(ids::historyLive));
    });
}

// A log emptied by its writer and written again from nothing is a new log:
// shown from its start, its later lines followed on from its new end.
TEST_F(HistoryWindow, ALogEmptiedAndWrittenAgainIsShownFromItsStart) {
    writeFile("old.csv", firstLog());
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        CHistoryDlg& history = open(w, dlg);
        Window& h = handsOf(history);
        openLog(h, pathOf("old.csv"));
        ASSERT_TRUE(showsLog(h, 3)) << h.text(ids::historySource);

        // Fewer bytes than were read: the file's size alone tells it.
        { std::ofstream emptied(pathOf("old.csv"), std::ios::binary | std::ios::trunc); }
        {
            std::ofstream again(pathOf("old.csv"), std::ios::binary | std::ios::app);
            again << logHeader("N") << logLine("2024/06/02,10:00:00", "10.0.0.9", 0b100);
        }
        ASSERT_TRUE(eventually([&] { return showsLog(h, 1); }, 10s)) << h.text(ids::historySource);
        expectOnlyTheSecondFile(history, h);

        expectTheSecondFileFollowed(history, h);
    });
}

// A log moved aside (as a rotation does) with a new file made at its name:
// the window shows the new file from its start and follows it.
TEST_F(HistoryWindow, ALogReplacedByANewFileIsShownFromTheNewFilesStart) {
    writeFile("old.csv", firstLog());
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        CHistoryDlg& history = open(w, dlg);
        Window& h = handsOf(history);
        openLog(h, pathOf("old.csv"));
        ASSERT_TRUE(showsLog(h, 3)) << h.text(ids::historySource);

        std::filesystem::rename(pathOf("old.csv"), pathOf("old.csv.1"));
        writeFile("old.csv", logHeader("N") + logLine("2024/06/02,10:00:00", "10.0.0.9", 0b100));
        ASSERT_TRUE(eventually([&] { return showsLog(h, 1); }, 10s)) << h.text(ids::historySource);
        expectOnlyTheSecondFile(history, h);

        expectTheSecondFileFollowed(history, h);
        // The file moved aside is as it was.
        EXPECT_EQ(readFile("old.csv.1"), firstLog());
    });
}

// A new file already longer than the old one, as after a rotation that a
// busy writer filled before the window's next look: its size alone would
// pass it for growth of the old file.
TEST_F(HistoryWindow, ALogReplacedByALongerFileIsShownFromTheNewFilesStart) {
    writeFile("old.csv", firstLog());
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        CHistoryDlg& history = open(w, dlg);
        Window& h = handsOf(history);
        openLog(h, pathOf("old.csv"));
        ASSERT_TRUE(showsLog(h, 3)) << h.text(ids::historySource);

        std::string longer = logHeader("N");
        constexpr int changes = 20;
        for (int i = 0; i < changes; ++i) {
            // Formatted whole: g++ 12 at -O3 warns falsely about a literal
            // joined in front of a temporary.
            char when[32];
            std::snprintf(when, sizeof when, "2024/06/02,10:00:%02d", i);
            longer += logLine(when, "10.0.0.9", i % 2 == 0 ? 0b100 : 0b000);
        }
        ASSERT_GT(longer.size(), firstLog().size());
        std::filesystem::rename(pathOf("old.csv"), pathOf("old.csv.1"));
        writeFile("old.csv", longer);
        ASSERT_TRUE(eventually([&] { return showsLog(h, changes); }, 10s))
            << h.text(ids::historySource);
        expectOnlyTheSecondFile(history, h);
    });
}

TEST_F(HistoryWindow, ALogThatCannotBeReadIsToldOnceAndAReadCanBeCancelled) {
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        CHistoryDlg& history = open(w, dlg);
        Window& h = handsOf(history);
        // A folder is no file: every read of it fails, and is tried again
        // for a while.
        ui::headless::queueFileDialogAnswer(folder);
        h.click(ids::historyOpenLog);
        EXPECT_TRUE(h.visible(ids::historyCancel));
        h.click(ids::historyCancel);
        ASSERT_TRUE(eventually([&] { return !h.visible(ids::historyCancel); }));
        EXPECT_EQ(h.text(ids::historySource), text::jp("ログの読み込みを中止しました"));
        EXPECT_TRUE(ui::headless::messageBoxes().empty());

        ui::headless::queueFileDialogAnswer(folder);
        h.click(ids::historyOpenLog);
        ASSERT_TRUE(eventually([&] { return !h.visible(ids::historyCancel); }, 10s));
        EXPECT_EQ(ui::headless::messageBoxes(),
                  (std::vector<std::string>{text::jp("ログファイルを読めません")}));
        EXPECT_EQ(h.text(ids::historySource).rfind(text::jp("ライブ"), 0), 0u);
    });
}

TEST_F(HistoryWindow, TheCursorsMeasureThePulsesTheTableIsCopiedAndTheRangeSaved) {
    // Input 1 pulses three times for 2 s every 5 s, after a line with every
    // input off.
    const auto lineAt = [](const char* when, unsigned on) {
        return logLine(std::string("2024/05/01,") + when, "10.0.0.1", on);
    };
    std::string log = logHeader("A");
    for (const auto& [when, on] : std::vector<std::pair<const char*, unsigned>>{{"09:29:58", 0},
                                                                                {"09:30:00", 1},
                                                                                {"09:30:02", 0},
                                                                                {"09:30:05", 1},
                                                                                {"09:30:07", 0},
                                                                                {"09:30:10", 1},
                                                                                {"09:30:12", 0}}) {
        log += lineAt(when, on);
    }
    writeFile("pulses.csv", log);
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        CHistoryDlg& history = open(w, dlg);
        Window& h = handsOf(history);
        openLog(h, pathOf("pulses.csv"));
        // Seconds from 09:29:58 (58) to 09:30:12 (12).
        const auto at = [](int second) {
            return history::toTimeMs({2024, 5, 1, 9, second >= 58 ? 29 : 30, second, 0});
        };
        const auto xOf = [&](history::TimeMs time) {
            return history.geometry().labelWidth +
                   static_cast<int>(
                       std::lround(history.view().columnOf(static_cast<double>(time))));
        };
        const auto rowY = [&](int row) {
            const Band band = bandOf(history.geometry(), row);
            return band.top + band.height / 2;
        };
        const auto table = [&](const std::string& first) {
            std::string text = text::jp(
                "信号\t変化\t立ち上がり\tON 合計 [s]\tON 割合 [%]\t最短 ON [s]\t最長 ON [s]\t"
                "平均周期 [s]\r\n");
            text += "A\t" + first + "\r\n";
            for (const char* name : {"B", "C"})
                text += std::string(name) + "\t0\t0\t0.000\t0.0\t-\t-\t-\r\n";
            for (const char* name : isKelvane ? std::vector<const char*>{"X", "Y", "Z"}
                                              : std::vector<const char*>{"D", "E"}) {
                text += std::string(name) + "\t0\t0\t0.000\t0.0\t-\t-\t-\r\n";
            }
            return text;
        };

        // The whole log across the view; its figures copied as text.
        EXPECT_FALSE(h.enabled(ids::historyZoomCursors));
        h.click(ids::historyWhole);
        EXPECT_NEAR(history.view().timeAt(0), static_cast<double>(at(58)), 1.0);
        EXPECT_NEAR(history.view().timeAt(history.view().columns()), static_cast<double>(at(12)),
                    1.0);
        h.click(ids::historyCopyMeasurements);
        EXPECT_EQ(ui::headless::clipboardText(), table("6\t3\t6.000\t42.9\t2.000\t2.000\t5.000"));

        // A click near a change takes it; a right-click sets cursor B.
        using ui::MouseEvent;
        const auto click = [&](int x, int y, MouseEvent::Button button, bool shift) {
            MouseEvent e;
            e.x = x;
            e.y = y;
            e.button = button;
            e.shift = shift;
            e.kind = MouseEvent::Kind::Press;
            e.leftButton = button == MouseEvent::Button::Left;
            e.rightButton = button == MouseEvent::Button::Right;
            h.mouse(ids::historyDiagram, e);
            e.kind = MouseEvent::Kind::Release;
            e.leftButton = e.rightButton = false;
            h.mouse(ids::historyDiagram, e);
        };
        click(xOf(at(5)) + 2, rowY(0), MouseEvent::Button::Left, false);
        click(xOf(at(7)) - 2, rowY(0), MouseEvent::Button::Right, false);
        EXPECT_EQ(history.cursors().a(), at(5));
        EXPECT_EQ(history.cursors().b(), at(7));
        EXPECT_EQ(h.text(ids::historyPointer),
                  text::jp("A 2024/05/01 09:30:05.000  B 2024/05/01 09:30:07.000  Δ 2.000 s"));
        h.click(ids::historyCopyMeasurements);
        EXPECT_EQ(ui::headless::clipboardText(), table("2\t1\t2.000\t100.0\t2.000\t2.000\t-"));
        EXPECT_TRUE(drawsText(h.paintSurface(ids::historyTable), "100.0"));
        const auto diagram = h.paintSurface(ids::historyDiagram);
        EXPECT_TRUE(drawsText(diagram, "A 09:30:05.000"));
        EXPECT_TRUE(drawsText(diagram, "B 09:30:07.000"));

        // Shift+click sets B too, away from any change at the pointer's time.
        const int between = (xOf(at(7)) + xOf(at(10))) / 2;
        click(between, rowY(0), MouseEvent::Button::Left, true);
        EXPECT_NE(history.cursors().b(), at(7));
        EXPECT_NEAR(static_cast<double>(*history.cursors().b()), static_cast<double>(at(8)) + 500,
                    history.view().msPerColumn() * 2);

        // The keys: B back to the change before it, A on to the next one.
        h.focus(ids::historyDiagram);
        h.pressKeyCode(ui::vk::left, true, true);
        EXPECT_EQ(history.cursors().b(), at(7));
        h.pressKeyCode(ui::vk::right, true, false);
        EXPECT_EQ(history.cursors().a(), at(7));
        h.pressKeyCode(ui::vk::right, true, false);
        EXPECT_EQ(history.cursors().a(), at(10));
        // Down chooses input 2, which never changes after the first line.
        h.pressKeyCode(ui::vk::down);
        EXPECT_EQ(history.cursors().row(), 1);
        h.pressKeyCode(ui::vk::right, true, false);
        EXPECT_EQ(history.cursors().a(), at(10));
        h.pressKeyCode(ui::vk::up);
        h.pressKeyCode(ui::vk::left, true, false);
        EXPECT_EQ(history.cursors().a(), at(7));

        // A-B fits the view to the cursors, with room at both sides.
        h.pressKeyCode(ui::vk::right, true, false);
        ASSERT_TRUE(h.enabled(ids::historyZoomCursors));
        h.click(ids::historyZoomCursors);
        EXPECT_LT(history.view().timeAt(0), static_cast<double>(at(7)));
        EXPECT_GT(history.view().timeAt(0), static_cast<double>(at(7)) - 500);
        EXPECT_GT(history.view().timeAt(history.view().columns()), static_cast<double>(at(10)));
        EXPECT_LT(history.view().timeAt(history.view().columns()),
                  static_cast<double>(at(10)) + 500);

        // The range between the cursors, saved as a log of ours and opened.
        saveRange(h, pathOf("range.csv"));
        EXPECT_EQ(readFile("range.csv"),
                  logHeader("A") + lineAt("09:30:07", 0) + lineAt("09:30:10", 1));
        openLog(h, pathOf("range.csv"));
        EXPECT_EQ(history.shown().size(), 2u);
        EXPECT_EQ(history.shown().at(1).time, at(10));

        // Delete takes both cursors away.
        h.focus(ids::historyDiagram);
        h.pressKeyCode(ui::vk::deleteKey);
        EXPECT_FALSE(history.cursors().a());
        EXPECT_FALSE(history.cursors().b());
        EXPECT_FALSE(h.enabled(ids::historyZoomCursors));
        EXPECT_TRUE(ui::headless::messageBoxes().empty());
    });
}

TEST_F(HistoryWindow, TheLiveViewFollowsThePresentWhileTheCursorsStayOnTheirTimes) {
    const int port = freePort();
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        startWith(w, {"", str(port), "", ""});
        CHistoryDlg& history = open(w, dlg);
        Window& h = handsOf(history);
        Device device(port);
        for (const int on : {0x04, 0x00, 0x04, 0x00}) {
            device.send({0xFC, static_cast<std::uint8_t>(on), 0x04});
            ASSERT_EQ(device.receive(2).size(), 2u);
        }
        h.fireTimer(CHistoryDlg::refreshTimer);
        h.click(ids::historyWhole);
        EXPECT_TRUE(history.view().following());
        // Cursors from the keys on input 3's row, the view still following.
        h.focus(ids::historyDiagram);
        h.pressKeyCode(ui::vk::down);
        h.pressKeyCode(ui::vk::down);
        h.pressKeyCode(ui::vk::left, true, true);
        h.pressKeyCode(ui::vk::left, true, false);
        h.pressKeyCode(ui::vk::left, true, false);
        const auto a = history.cursors().a();
        const auto b = history.cursors().b();
        ASSERT_TRUE(a && b);
        EXPECT_LT(*a, *b);
        EXPECT_TRUE(history.view().following());
        const double end = history.view().timeAt(history.view().columns());
        EXPECT_TRUE(eventually([&] {
            h.fireTimer(CHistoryDlg::refreshTimer);
            return history.view().timeAt(history.view().columns()) > end + 50;
        }));
        EXPECT_EQ(history.cursors().a(), a);
        EXPECT_EQ(history.cursors().b(), b);
    });
}

TEST_F(HistoryWindow, TheRangeIsNotSavedOverTheLogBeingWritten) {
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        ui::headless::queueFileDialogAnswer(pathOf("log.csv"));
        w.click(ids::browseLogButton);
        w.setCheck(ids::loggingCheck, true);
        CHistoryDlg& history = open(w, dlg);
        Window& h = handsOf(history);
        ui::headless::queueFileDialogAnswer(pathOf("log.csv"));
        h.click(ids::historySaveRange);
        EXPECT_EQ(ui::headless::messageBoxes(),
                  (std::vector<std::string>{
                      text::jp("記録中のログには保存できません。別のファイルを選んでください")}));
        // Elsewhere it is saved.
        saveRange(h, pathOf("range.csv"));
        EXPECT_EQ(readFile("range.csv").rfind(text::jp("日付,時刻,接続元IPアドレス,"), 0), 0u);
        EXPECT_EQ(ui::headless::messageBoxes().size(), 1u);
    });
}

// A file layer for the saved range that holds each write until the test
// lets it go, then writes the file or fails.
struct HeldWrites {
    std::mutex mutex;
    std::condition_variable changed;
    int waiting = 0;
    int letGo = 0;
    bool fail = false;

    CHistoryDlg::RangeWriter writer(const std::shared_ptr<HeldWrites>& self) {
        return [self](const std::string& path, std::string_view text) {
            std::unique_lock lock(self->mutex);
            ++self->waiting;
            self->changed.notify_all();
            if (!self->changed.wait_for(lock, 10s, [&] { return self->letGo > 0; })) return false;
            --self->letGo;
            --self->waiting;
            return !self->fail && fs::replaceTextFile(path, text);
        };
    }
    bool isWaiting() {
        std::lock_guard lock(mutex);
        return waiting > 0;
    }
    void release(bool failIt) {
        std::lock_guard lock(mutex);
        fail = failIt;
        ++letGo;
        changed.notify_all();
    }
};

TEST_F(HistoryWindow, TheRangeIsWrittenBesideTheWindowAndAFailureIsToldOnceEvenAfterItsClose) {
    const auto writes = std::make_shared<HeldWrites>();
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        CHistoryDlg& history = open(w, dlg);
        Window& h = handsOf(history);
        history.useRangeWriter(writes->writer(writes));
        ui::headless::queueFileDialogAnswer(pathOf("range.csv"));
        h.click(ids::historySaveRange);
        ASSERT_TRUE(eventually([&] { return writes->isWaiting(); }));
        // While the file is written the window goes on, with no second save.
        EXPECT_FALSE(h.enabled(ids::historySaveRange));
        w.type(ids::inputNameEdit1, "Pump");
        h.fireTimer(CHistoryDlg::refreshTimer);
        EXPECT_TRUE(drawsText(h.paintSurface(ids::historyDiagram), "Pump"));
        EXPECT_FALSE(fileExists("range.csv"));
        writes->release(false);
        ASSERT_TRUE(eventually([&] { return h.enabled(ids::historySaveRange); }));
        EXPECT_EQ(readFile("range.csv").rfind(text::jp("日付,時刻,接続元IPアドレス,"), 0), 0u);
        EXPECT_TRUE(ui::headless::messageBoxes().empty());

        // A save that fails after its window closed is told by the main window.
        ui::headless::queueFileDialogAnswer(pathOf("again.csv"));
        h.click(ids::historySaveRange);
        ASSERT_TRUE(eventually([&] { return writes->isWaiting(); }));
        h.pressKey(ui::Key::Escape);
        EXPECT_FALSE(history.IsWindowOpen());
        writes->release(true);
        const std::vector<std::string> told{text::jp("範囲を保存できません")};
        EXPECT_TRUE(eventually([&] { return ui::headless::messageBoxes() == told; }));
        w.click(ids::historyButton);
        EXPECT_TRUE(handsOf(history).enabled(ids::historySaveRange));
        EXPECT_FALSE(fileExists("again.csv"));
        EXPECT_EQ(ui::headless::messageBoxes(), told);
    });
}

TEST_F(HistoryWindow, TheLogsWriterHoldsItsTurnFromOpenToClose) {
    const auto gates = std::make_shared<store::LogFileGates>();
    const store::LogOpener open = store::gatedOpener(store::systemLogOpener(), gates);
    const auto othersTurn = [&](const std::string& name) {
        bool free = false;
        std::thread other([&] {
            const auto gate = gates->at(pathOf(name));
            free = gate->try_lock();
            if (free) gate->unlock();
        });
        other.join();
        return free;
    };
    auto file = open(pathOf("log.csv"));
    ASSERT_TRUE(file);
    EXPECT_FALSE(othersTurn("log.csv"));
    // A writer stuck at one file keeps no other file waiting.
    EXPECT_TRUE(othersTurn("other.csv"));
    EXPECT_TRUE(file->write("line\n"));
    EXPECT_TRUE(file->close());
    EXPECT_TRUE(othersTurn("log.csv"));
    EXPECT_FALSE(open(pathOf("no such folder/log.csv")));
    EXPECT_TRUE(othersTurn("no such folder/log.csv"));
}

}  // namespace

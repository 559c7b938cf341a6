// Settings files no user should have: ten megabytes on one line, binary
// bytes, and files that cannot be opened. The program starts or loads
// without crashing or hanging, applies what the reader finds, and serves.
#include <filesystem>
#include <random>
#include <string>

#include "net/net_fixture.h"
#include "platform/fs.h"
#include "stress/stress_support.h"

namespace {

using namespace nettest;

constexpr std::size_t tenMegabytes = 10 * 1024 * 1024;

class SettingsFaults : public NetTest {
protected:
    std::string iniName() const { return std::string(variant::productName) + ".ini"; }

    static void load(Window& w, const std::string& path) {
        ui::headless::queueFileDialogAnswer(path);
        w.click(ids::loadSettingsButton);
    }

    // The window still does its work: a start on a fresh port serves a
    // device's frame.
    static void expectServing(Window& w) {
        const int port = freePort();
        startWith(w, {str(port), "", "", ""});
        ASSERT_TRUE(looksRunning(w));
        Device device(port);
        device.send({0xFC, 0x01, 0x01});
        EXPECT_EQ(device.receive(2), (Bytes{0xFC, 0x01}));
        w.click(ids::serverButton);
    }

    static void expectDefaultNames(Window& w) {
        for (int k = 0; k < variant::inputCount; ++k) {
            EXPECT_EQ(w.text(ids::inputNameEdit1 + k), "DI" + std::to_string(k + 1));
        }
    }
};

// Random bytes without a Ctrl-Z, which a text-mode reader may take for the
// end of the file, so that every platform reads the whole of them.
std::string binaryBytes(std::size_t size) {
    std::mt19937 generator{20240601};
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i + 4 <= size; i += 4) {
        auto word = static_cast<std::uint32_t>(generator());
        for (std::size_t k = 0; k < 4; ++k, word >>= 8) {
            const auto value = static_cast<char>(word & 0xFF);
            bytes[i + k] = value == '\x1A' ? '\0' : value;
        }
    }
    return bytes;
}

// Ten megabytes of double-byte characters (katakana TE SU TO).
std::string tenMegabyteTitle() {
    std::string title;
    title.reserve(tenMegabytes);
    while (title.size() < tenMegabytes) title += "\x83\x65\x83\x58\x83\x67";
    return title;
}

TEST_F(SettingsFaults, TenMegabytesOnOneLineAtStartUpAndOnLoad) {
    const std::string title = tenMegabyteTitle();
    writeFile("huge.set", "#$DI1=Pump#$TITLEBAR=" + title);
    writeFile(iniName(), pathOf("huge.set"));
    const auto before = std::chrono::steady_clock::now();
    runMonitor([&](Window& w, CMonitorDlg&) {
        const auto startedIn = std::chrono::steady_clock::now() - before;
        EXPECT_LT(startedIn, stress::stretched(5000ms));
        // The name key is tested first: its value is the line after the
        // key's length, cut to 20 bytes without splitting a character. The
        // title key then cuts its own length off the shortened line.
        EXPECT_EQ(w.text(ids::inputNameEdit1), "Pump#$TITLEBAR=\x83\x65\x83\x58");
        EXPECT_EQ(w.caption(), "BAR=" + title);
        expectServing(w);

        writeFile("huge2.set", "#$TITLEBAR=" + title + "\r\n#$DI2=Valve\r\n");
        const auto loadStart = std::chrono::steady_clock::now();
        load(w, pathOf("huge2.set"));
        EXPECT_LT(std::chrono::steady_clock::now() - loadStart, stress::stretched(5000ms));
        EXPECT_EQ(w.caption(), title);
        EXPECT_EQ(w.text(ids::inputNameEdit1 + 1), "Valve");
        expectServing(w);
    });
}

TEST_F(SettingsFaults, TenMegabytesOfBinaryBytesAreReadToTheEnd) {
    writeFile("binary.set", binaryBytes(tenMegabytes) + "\r\n#$DI3=Last\r\n");
    writeFile(iniName(), pathOf("binary.set"));
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        EXPECT_EQ(w.text(ids::inputNameEdit1 + 2), "Last");
        EXPECT_EQ(dlg.settingsPath, pathOf("binary.set"));
        expectServing(w);
        load(w, pathOf("binary.set"));
        EXPECT_EQ(w.text(ids::inputNameEdit1 + 2), "Last");
        expectServing(w);
    });
}

TEST_F(SettingsFaults, AFileThatCannotBeOpenedLoadsNothing) {
    // A folder where the file should be, and a file another opener holds:
    // neither opens (running as root, permissions would not stop a read).
    std::filesystem::create_directories(pathOf("folder.set"));
    writeFile("held.set", "#$DI1=Pump\r\n#$TITLEBAR=Held\r\n");
    writeFile(iniName(), pathOf("folder.set"));
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        EXPECT_EQ(w.caption(), variant::productName);
        expectDefaultNames(w);
        EXPECT_EQ(dlg.serverRunning.load(), 0);

        load(w, pathOf("folder.set"));
        EXPECT_EQ(w.caption(), variant::productName);
        expectDefaultNames(w);
        {
            auto held = fs::TextFile::open(pathOf("held.set"), fs::OpenMode::Read);
            ASSERT_TRUE(held);
            load(w, pathOf("held.set"));
            expectDefaultNames(w);
            EXPECT_EQ(w.caption(), variant::productName);
        }
        expectServing(w);
        load(w, pathOf("held.set"));
        EXPECT_EQ(w.text(ids::inputNameEdit1), "Pump");
        EXPECT_EQ(w.caption(), "Held");
    });
    EXPECT_TRUE(std::filesystem::is_directory(pathOf("folder.set")));
}

}  // namespace

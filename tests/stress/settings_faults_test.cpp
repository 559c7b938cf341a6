// Settings files no user should have: lines and files beyond the reader's
// bounds, binary bytes, and files that cannot be opened. The program starts
// or loads without crashing or hanging, applies a file only when it reads
// it whole, and serves.
#include <filesystem>
#include <random>
#include <string>

#include "net/net_fixture.h"
#include "platform/fs.h"
#include "platform/text.h"
#include "stress/stress_support.h"

namespace {

using namespace nettest;

constexpr std::size_t megabyte = 1024 * 1024;
constexpr std::size_t tenMegabytes = 10 * megabyte;

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

    // Sorrel's trace box keeps the reader's line for a file it cannot read.
    static std::size_t cannotReadTraces(CMonitorDlg& dlg) {
        const std::string trace = dlg.traceEdit.text();
        const std::string line = text::jp("cfgファイルが無かったからデフォルト");
        std::size_t count = 0;
        for (std::size_t at = trace.find(line); at != std::string::npos;
             at = trace.find(line, at + 1)) {
            ++count;
        }
        return count;
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

// Double-byte characters (katakana TE SU TO) to the given length.
std::string katakanaTitle(std::size_t bytes) {
    static constexpr const char* letters[] = {"\x83\x65", "\x83\x58", "\x83\x67"};
    std::string title;
    for (std::size_t k = 0; title.size() + 2 <= bytes; ++k) title += letters[k % 3];
    title.resize(bytes, 'x');
    return title;
}

TEST_F(SettingsFaults, AFileBeyondTheReadersBoundsChangesNothingAtStartUpOrOnLoad) {
    // A line of 1 MiB, the bound, with its key; and the same a byte longer
    // after a line that alone would rename input 1.
    const std::string title = katakanaTitle(megabyte - std::string("#$TITLEBAR=").size());
    writeFile("fits.set", "#$DI1=Pump\r\n#$TITLEBAR=" + title + "\r\n");
    writeFile("over.set", "#$DI1=Pump\r\n#$TITLEBAR=" + title + "x\r\n");
    writeFile(iniName(), pathOf("over.set"));
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        EXPECT_EQ(dlg.settingsPath, pathOf("over.set"));
        EXPECT_EQ(w.caption(), variant::productName);
        expectDefaultNames(w);
        if constexpr (!isKelvane) {
            EXPECT_EQ(cannotReadTraces(dlg), 1u);
        }

        load(w, pathOf("fits.set"));
        EXPECT_EQ(w.caption(), title);
        EXPECT_EQ(w.text(ids::inputNameEdit1), "Pump");

        // Two megabytes without a line end; then 16 MiB and a little more
        // in short lines. Neither is read into the window.
        writeFile("endless.set", "#$DI2=Valve\r\n" + std::string(2 * megabyte, 'x'));
        load(w, pathOf("endless.set"));
        std::string shortLines = "#$DI2=Valve\r\n";
        while (shortLines.size() <= 16 * megabyte) shortLines += "#$DI3=Fan\r\n";
        writeFile("large.set", shortLines);
        load(w, pathOf("large.set"));
        EXPECT_EQ(w.text(ids::inputNameEdit1 + 1), "DI2");
        EXPECT_EQ(w.text(ids::inputNameEdit1 + 2), "DI3");
        EXPECT_EQ(w.caption(), title);
        if constexpr (!isKelvane) {
            EXPECT_EQ(cannotReadTraces(dlg), 3u);
        }
        expectServing(w);
    });
}

TEST_F(SettingsFaults, AFileOfGigabytesIsRefusedAtOnce) {
    // Four gigabytes without a line end, picked under "all files"; sparse,
    // so that it costs no disk.
    writeFile("huge.bin", "#$DI1=Pump\r\n");
    std::filesystem::resize_file(pathOf("huge.bin"), 4ull << 30);
    writeFile(iniName(), pathOf("huge.bin"));
    const auto before = std::chrono::steady_clock::now();
    runMonitor([&](Window& w, CMonitorDlg&) {
        EXPECT_LT(std::chrono::steady_clock::now() - before, stress::stretched(5000ms));
        expectDefaultNames(w);
        const auto loadStart = std::chrono::steady_clock::now();
        load(w, pathOf("huge.bin"));
        EXPECT_LT(std::chrono::steady_clock::now() - loadStart, stress::stretched(5000ms));
        expectDefaultNames(w);
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

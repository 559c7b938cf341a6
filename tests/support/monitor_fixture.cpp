#include "support/monitor_fixture.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include "platform/fs.h"

namespace {
std::atomic<int> folderCounter{0};
}

void MonitorTest::SetUp() {
    ui::headless::resetSession();
    ui::setApplicationName(variant::productName);
    iphelp::fake::tables() = iphelp::fake::standardTables();
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::ostringstream name;
    name << "monitor-" << variant::productName << "-" << info->name() << "-"
         << std::random_device{}() << "-" << folderCounter++;
    std::filesystem::path dir = std::filesystem::temp_directory_path() / name.str();
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    folder = dir.string();
    fs::overrideModulePathForTesting(pathOf(variant::productName));
}

void MonitorTest::TearDown() {
    std::filesystem::remove_all(folder);
}

void MonitorTest::runMonitor(const Script& script) {
    auto dlg = std::make_unique<CMonitorDlg>();
    CMonitorDlg* raw = dlg.get();
    bool ran = false;
    ui::headless::queueModalScript([&script, raw, &ran](Window& window) {
        ran = true;
        script(window, *raw);
    });
    const int code = dlg->DoModal();
    const ui::headless::Leftovers left = ui::headless::leftovers();
    if (!ran) {
        ADD_FAILURE() << "the window ended during start-up (end code " << code
                      << "), so its script and every check in it never ran";
        return;
    }
    EXPECT_EQ(left.scriptsNotRun, 0u) << "a dialog the script meant to open never opened";
    EXPECT_EQ(left.fileDialogAnswersUnused, 0u) << "a file dialog the script answered never opened";
    EXPECT_EQ(code, ui::idCancel) << "the main window ends only as the user closes it";
}

std::string MonitorTest::pathOf(const std::string& name) const {
    return folder + "/" + name;
}

void MonitorTest::writeFile(const std::string& name, const std::string& bytes) const {
    std::ofstream out(pathOf(name), std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string MonitorTest::readFile(const std::string& name) const {
    std::ifstream in(pathOf(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool MonitorTest::fileExists(const std::string& name) const {
    return std::filesystem::exists(pathOf(name));
}

// The main window and the parts it owns:
// - its controls, brushes, fonts, title and adapters: window thread only;
//   workers reach a control only through ui::Control, which carries the call;
// - the signal states (inputOn, outputOn): atomics, written by connections
//   (inputs) and by the ON/OFF buttons (outputs), read by anyone;
// - the signal history (history::Recorder): any thread, under its own lock;
// - the network service (net::Service): called on the window thread; its
//   threads report through net::WindowPort, which this window implements;
// - the log (store::EventLog): lines from connection threads, the rest from
//   the window thread; it reports through store::LogNotices;
// - the settings: store/settings_file.h reads and writes values, the window
//   maps them to its controls (window thread).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "history/recorder.h"
#include "net/service.h"
#include "platform/fs.h"
#include "platform/hand_over.h"
#include "platform/sock.h"
#include "platform/ui.h"
#include "store/event_log.h"
#include "variant_constants.h"
#include "window/adapter_entry.h"
#include "window/control_ids.h"

struct InputControls {
    ui::Control nameEdit;
    ui::Control lamp;
};

struct OutputControls {
    ui::Control nameEdit;
    ui::Control lamp;
    ui::Control button;
};

class CHistoryDlg;

class CMonitorDlg : public ui::Dialog, private net::WindowPort, private store::LogNotices {
public:
    CMonitorDlg();
    ~CMonitorDlg() override;

    // Lifecycle (shell/).
    bool OnInitDialog() override;
    bool PreTranslateMessage(const ui::KeyMessage& message) override;
    bool OnPaint(ui::PaintContext& context) override;
    int OnQueryDragIcon() const { return appIcon; }
    void OnDestroy() override;
    bool OnCommand(ui::Notification notification, int controlId) override;

    // Signal panel (window/).
    const ui::Brush* OnCtlColor(ui::CtlColorRequest& request) override;
    void OnSignalNameChanged();

    // Adapters (window/).
    void EnumerateAdapters();
    void OnAdapterSelected();

    // Title bar (window/).
    void OnChangeTitleBar();

    // The signal history window (window/): opened or brought to the front,
    // closed with the main window.
    void OnSignalHistory();
    std::unique_ptr<CHistoryDlg> historyDlg;

    // Server and ON/OFF buttons (window/server_handlers.cpp): the fields to
    // the network service and its result to the window.
    void OnServerButton();
    void toggleDigitalOut(int output);
    // Asks every port to stop and wakes every blocked socket, so that the
    // workers end and the window can join them when it closes.
    void stopWorkersForClose() { service.stopForClose(); }

    // Settings (window/settings_handlers.cpp): the controls to and from the
    // files of store/settings_file.h.
    void OnSaveSettings();
    void OnLoadSettings();
    int ReadSettingsFile(std::string path);
    // The log's side of the window (window/event_log_handlers.cpp).
    void AppendEventLog(const char* peerAddress);
    void OnBrowseLogFile();

    // Controls of template 102. Kelvane binds no inputs 4 and 5, Sorrel no
    // outputs and no destination port.
    ui::Control outputNameEdit3, outputNameEdit2, outputNameEdit1;
    ui::Control outputLamp3, outputLamp2, outputLamp1;
    ui::Control outputButton3, outputButton2, outputButton1;
    ui::Control destPortEdit;
    ui::Control adapterCombo;
    ui::Control serverButton;
    ui::Control traceEdit;
    ui::Control statusLabel;
    ui::Control versionLabel;
    ui::Control logFileEdit;
    ui::Control loggingCheck;
    ui::Control inputLamp5, inputLamp4, inputLamp3, inputLamp2, inputLamp1;
    ui::Control inputNameEdit5, inputNameEdit4, inputNameEdit3, inputNameEdit2, inputNameEdit1;
    ui::Control peerLabel4, peerLabel3, peerLabel2, peerLabel1;
    ui::Control portEdit4, portEdit3, portEdit2, portEdit1;

    int appIcon = 0;
    ui::Brush redBrush;
    ui::Brush blackBrush;
    ui::Brush greyBrush;
    ui::Font statusFont;
    fs::FileVersion fileVersion;
    std::string versionText;

    std::int32_t adapterCount = 0;
    std::array<AdapterEntry, maxAdapters> adapters{};

    std::string exeFolder;
    std::string settingsPath;
    std::string iniPath;
    std::string titleText;

    std::atomic<std::int32_t> initDone{0};
    std::atomic<std::int32_t> serverRunning{0};

    std::array<std::atomic<std::int32_t>, variant::inputCount> inputOn{};
    std::array<InputControls, variant::inputCount> inputControls;
    std::array<std::atomic<std::int32_t>, variant::outputCount> outputOn{};
    std::array<OutputControls, variant::outputCount> outputControls;

    // The peer label and the port field of each listening port.
    std::array<ui::Control, portSlotCount> peerLabels;
    std::array<ui::Control, portSlotCount> portEdits;

    // Every change of the inputs and outputs since start-up, with its time,
    // device and port; written wherever the states change, under its own
    // short lock.
    history::Recorder signalHistory;

    // Bytes in the hidden trace box; used on the window thread only.
    std::size_t traceBytes = 0;
    // Trace text on its way to the window thread.
    ui::HandOver<std::string> pendingTrace;

    // ---- The network service (net/service.h) ----
    net::Service service;

    // ---- The log (store/event_log.h) ----
    // Lines, header, writer, notices and the close's rescue; the window
    // gives it the states and names a line needs and shows its notices.
    store::EventLog eventLog;
    void OnLoggingClicked();

private:
    void startServer();
    void stopServer();
    void flushTrace();

    // What the network service reports (window/network_updates.cpp,
    // shell/trace_line.cpp).
    bool startWorker(std::function<void()> body) override { return StartWorker(std::move(body)); }
    void postToWindow(std::function<void()> work) override { PostToWindowThread(std::move(work)); }
    bool callOnWindow(const std::function<void()>& work) override {
        return CallOnWindowThread(work);
    }
    void traceText(std::string_view line) override;
    std::uint8_t inputStates() const override;
    void applyInputs(frames::InputUpdate update, history::Source source) override;
    void repaintInputs(std::uint8_t inputs) override;
    void clearInputs() override;
    void logFrame(const std::string& peerAddress, std::string& lines) override;
    void logRead(std::string& lines) override;
    void showPeerLabel(int slot, const std::string& text) override;
    void enableOutputButtons(bool enable) override;
    void showServerStopped() override;

    void showLogNotice(const std::string& text) override { ShowMessage(text); }
    void OnOutputButton1() { toggleDigitalOut(0); }
    void OnOutputButton2() { toggleDigitalOut(1); }
    void OnOutputButton3() { toggleDigitalOut(2); }
    void applyAdapterList();
    void setDefaultTexts();
    void restoreLastSettings();
};

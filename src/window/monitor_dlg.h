// The main window: single owner of all program state. The network service
// (net/) and the settings and log (store/) are operations of this object.
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
#include "platform/fs.h"
#include "platform/sock.h"
#include "platform/ui.h"
#include "store/event_log.h"
#include "variant_constants.h"
#include "window/adapter_entry.h"
#include "window/control_ids.h"

enum ServerState : std::int32_t { Idle = 0, Starting = 1, Listening = 2, StopRequested = 3 };

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

struct PortSlot {
    std::atomic<std::int32_t> state{Idle};
    ui::Control peerLabel;
    ui::Control portEdit;
    std::int32_t port = 0;
    sock::Socket listenSock = sock::invalidSocket;
    // Kelvane: the last recognised peer and the device's open connection.
    std::atomic<std::uint32_t> peerAddr{0};
    std::atomic<sock::Socket> connSock{0};
};

inline constexpr int portSlotCount = 4;

// Kelvane: the address the listening sockets and the output sender bind to,
// network byte order; set by the adapter choice.
extern std::atomic<std::uint32_t> bindAddress;

class CMonitorDlg : public ui::Dialog, private store::LogNotices {
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

    // Server and connections (net/).
    void OnServerButton();
    int openListenSockets();
    void toggleDigitalOut(int output);
    void sendDigitalOut(int slot, int port, const std::uint8_t* bytes, int count);
    // Asks every port to stop and wakes every blocked socket, so that the
    // workers end and the window can join them when it closes.
    void stopWorkersForClose();

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

    std::array<PortSlot, portSlotCount> portSlots;

    // Every change of the inputs and outputs since start-up, with its time,
    // device and port; written wherever the states change, under its own
    // short lock.
    history::Recorder signalHistory;

    // Bytes in the hidden trace box; used on the window thread only.
    std::size_t traceBytes = 0;
    // Trace text waiting for the window thread, and whether a hand-over of
    // it is already queued.
    std::mutex traceMutex;
    std::string pendingTrace;
    bool traceFlushQueued = false;

    // ---- Network service state (net/) ----
    // One listener's run on a port: its listening socket and the connections
    // its connection threads accepted (net/listener_run.h).
    struct ListenerRun;
    // The run each slot started last; window thread only.
    std::array<std::shared_ptr<ListenerRun>, portSlotCount> listenerRuns;
    // Counts the starts of the server. A listener's clean-up leaves the
    // window alone once a newer start owns it (a settings load stops and
    // starts again before the listeners' clean-up reaches the window).
    std::atomic<std::uint32_t> serverGeneration{0};
    // Kelvane: the output sender never sends on a connection whose thread
    // is closing it; both take the slot's guard around PortSlot.connSock.
    std::array<std::mutex, portSlotCount> connSockGuards;
    // Peer labels. A connection hands its text over without waiting; the
    // window thread compares and writes, the newest text of a slot winning.
    // peerLabelTexts is what the label shows or is about to show, so that a
    // frame that changes nothing costs no trip to the window thread.
    struct PendingPeerLabel {
        std::string text;
        const ListenerRun* run;  // written only while it is the slot's run
    };
    std::mutex peerLabelGuard;
    std::array<std::optional<std::string>, portSlotCount> peerLabelTexts;
    std::array<std::optional<PendingPeerLabel>, portSlotCount> pendingPeerLabels;
    bool peerLabelWriteQueued = false;
    // Kelvane: the ON/OFF buttons have been enabled since the last disable.
    std::atomic<std::int32_t> outputButtonsEnabled{0};
    // Kelvane: the frames of the clicks go out from a sender per port
    // (net/output_senders.h). A stop or the close drops the frames not yet
    // sent and ends a connect in progress; a stop also waits for the senders.
    struct OutputSenders;
    std::unique_ptr<OutputSenders> outputSenders;
    void stopOutputSenders(bool waitForThem);

    // ---- The log (store/event_log.h) ----
    // Lines, header, writer, notices and the close's rescue; the window
    // gives it the states and names a line needs and shows its notices.
    store::EventLog eventLog;
    void OnLoggingClicked();

private:
    void showLogNotice(const std::string& text) override { ShowMessage(text); }
    void OnOutputButton1() { toggleDigitalOut(0); }
    void OnOutputButton2() { toggleDigitalOut(1); }
    void OnOutputButton3() { toggleDigitalOut(2); }
    void applyAdapterList();
    void setDefaultTexts();
    void restoreLastSettings();
};

// The developer trace sink: Kelvane discards the lines, Sorrel appends them
// to its hidden trace box. Text from outside is always an argument.
void traceLine(CMonitorDlg* dlg, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

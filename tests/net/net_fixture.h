// A main window with the network service driven by the test's hands.
#pragma once

#include <array>
#include <string>

#include "net_test_support.h"
#include "platform/text.h"

class NetTest : public MonitorTest {
protected:
    static constexpr std::array<int, 4> portEdits = {ids::portEdit1, ids::portEdit2, ids::portEdit3,
                                                     ids::portEdit4};
    static constexpr std::array<int, 4> peerLabels = {ids::peerLabel1, ids::peerLabel2,
                                                      ids::peerLabel3, ids::peerLabel4};
    static constexpr std::array<int, 3> outputButtons = {ids::outputButton1, ids::outputButton2,
                                                         ids::outputButton3};

    // Types the four port fields and clicks the server button.
    static void startWith(Window& w, const std::array<std::string, 4>& fields) {
        for (std::size_t i = 0; i < fields.size(); ++i) w.type(portEdits[i], fields[i]);
        w.click(ids::serverButton);
    }
    static std::string str(int port) { return std::to_string(port); }

    // The input states as bits, bit k-1 for input k.
    static unsigned inputs(const CMonitorDlg& dlg) {
        unsigned bits = 0;
        for (std::size_t k = 0; k < dlg.inputOn.size(); ++k) {
            if (dlg.inputOn[k].load() != 0) bits |= 1u << k;
        }
        return bits;
    }

    static std::string connectedFrom(const char* address) {
        return text::jp("接続元 : ") + address;
    }

    static bool looksRunning(Window& w) {
        return w.text(ids::serverButton) == text::jp("サーバ待機を終了する(&S)") &&
               w.text(ids::statusLabel) == text::jp("接続待機中") && !w.enabled(ids::portEdit1) &&
               !w.enabled(ids::adapterCombo);
    }
    static bool looksStopped(Window& w) {
        return w.text(ids::serverButton) == text::jp("サーバ待機を開始する(&S)") &&
               w.text(ids::statusLabel) == text::jp("停止中") && w.enabled(ids::portEdit1) &&
               w.enabled(ids::adapterCombo);
    }
};

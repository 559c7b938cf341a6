// The window's trace box (Sorrel's, never shown): lines handed over without
// waiting for the window thread, so that a worker that traces never waits
// on a window thread that waits on it.
#include "window/monitor_dlg.h"

namespace {
// The box is never shown; keep it from growing without bound.
constexpr std::size_t traceBoxBytes = net::traceKeptBytes;
}  // namespace

void CMonitorDlg::traceText(std::string_view line) {
    pendingTrace.give(
        [&](std::string& pending) {
            if (pending.size() + line.size() > traceBoxBytes) pending.clear();
            pending += line;
            return true;
        },
        [this] { PostToWindowThread([this] { flushTrace(); }); });
}

void CMonitorDlg::flushTrace() {
    const std::string text = pendingTrace.take([](std::string& pending) {
        std::string taken;
        taken.swap(pending);
        return taken;
    });
    if (traceBytes + text.size() > traceBoxBytes) {
        traceEdit.setText("");
        traceBytes = 0;
    }
    traceEdit.replaceSel(text);
    traceBytes += text.size();
}

// The developer trace sink. Kelvane discards its lines; Sorrel hands them
// to its hidden trace box without waiting for the window thread, so that a
// worker that traces never waits on a window thread that waits on it.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/text.h"
#include "window/monitor_dlg.h"

namespace {
constexpr std::size_t traceLineBytes = 256;
// The box is never shown; keep it from growing without bound.
constexpr std::size_t traceBoxBytes = 32 * 1024;

void flushTrace(CMonitorDlg& dlg) {
    std::string text;
    {
        std::lock_guard lock(dlg.traceMutex);
        text.swap(dlg.pendingTrace);
        dlg.traceFlushQueued = false;
    }
    if (dlg.traceBytes + text.size() > traceBoxBytes) {
        dlg.traceEdit.setText("");
        dlg.traceBytes = 0;
    }
    dlg.traceEdit.replaceSel(text);
    dlg.traceBytes += text.size();
}

}  // namespace

void traceLine(CMonitorDlg* dlg, const char* format, ...) {
    if constexpr (variant::product == variant::Product::Kelvane) {
        (void)dlg;
        (void)format;
    } else {
        char line[traceLineBytes];
        va_list args;
        va_start(args, format);
        const int wanted = std::vsnprintf(line, sizeof line, format, args);
        va_end(args);
        std::string_view kept(line, std::strlen(line));
        // A line cut short ends on a whole character, never half of one.
        if (wanted >= static_cast<int>(sizeof line)) kept = text::truncateCp932(kept, kept.size());
        bool flushQueued = false;
        {
            std::lock_guard lock(dlg->traceMutex);
            if (dlg->pendingTrace.size() + kept.size() > traceBoxBytes) {
                dlg->pendingTrace.clear();
            }
            dlg->pendingTrace += kept;
            flushQueued = dlg->traceFlushQueued;
            dlg->traceFlushQueued = true;
        }
        // However fast workers trace, one hand-over at a time waits for the
        // window thread; it takes every line gathered until it runs.
        if (flushQueued) return;
        try {
            dlg->PostToWindowThread([dlg] { flushTrace(*dlg); });
        } catch (...) {
            // Not handed over: the next line must be.
            std::lock_guard lock(dlg->traceMutex);
            dlg->traceFlushQueued = false;
            throw;
        }
    }
}

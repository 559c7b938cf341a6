// The history window as an instrument: cursors A and B placed by the mouse
// and moved by the keys, each row's figures between them (or over the
// view), and the buttons that show the whole history, fit the view to the
// cursors, copy the figures and save the range as a log.
#include <algorithm>
#include <cmath>

#include "history/measurement_text.h"
#include "platform/fs.h"
#include "platform/text.h"
#include "store/file_choice.h"
#include "store/range_csv.h"
#include "window/history_dlg.h"
#include "window/monitor_dlg.h"
#include "window/window_link.h"

namespace {

// "A-B を拡大" leaves this share of the cursors' span free at either side,
// so that both lines stay in sight.
constexpr double cursorZoomMargin = 0.05;

std::string jp(const char* utf8) {
    return text::jp(utf8);
}

}  // namespace

std::vector<history::RowMeasurements> CHistoryDlg::measurements() const {
    const history::TimeRange range = cursors_.measured(viewRange());
    std::vector<history::RowMeasurements> figures;
    for (int row = 0; row < rows().count(); ++row) {
        figures.push_back(history::measureRow(shown(), row, range.from, range.to));
    }
    return figures;
}

// A click on the plot places the cursor on the row under it, or on the
// chosen row when it is above or below the rows.
void CHistoryDlg::clickAt(const ui::MouseEvent& event, history::Cursors::Which which) {
    const DiagramGeometry g = geometry();
    if (event.x < g.labelWidth || rows().count() == 0) return;
    const int row = g.rowAt(event.y).value_or(cursors_.row());
    const auto time =
        static_cast<history::TimeMs>(std::llround(view_.timeAt(event.x - g.labelWidth)));
    cursors_.place(which, shown(), time, row, view_.msPerColumn());
    refresh();
}

// Up and Down choose the row; Ctrl+Left and Ctrl+Right move cursor A to
// its previous or next change, with Shift cursor B; Delete takes both away.
bool CHistoryDlg::cursorKey(const ui::KeyMessage& message) {
    using W = history::Cursors::Which;
    switch (message.keyCode) {
        case ui::vk::up:
        case ui::vk::down:
            cursors_.chooseRow(message.keyCode == ui::vk::up ? -1 : 1, rows().count());
            break;
        case ui::vk::deleteKey:
            cursors_.clear();
            break;
        case ui::vk::left:
        case ui::vk::right: {
            if (!message.control) return false;
            const W which = message.shift ? W::B : W::A;
            if (cursors_.step(which, shown(), message.keyCode == ui::vk::right, viewRange())) {
                view_.reveal(static_cast<double>(*cursors_.at(which)));
            }
            break;
        }
        default:
            return false;
    }
    refresh();
    return true;
}

// ---- the buttons ---------------------------------------------------------------

void CHistoryDlg::OnShowWhole() {
    const history::TimeRange all = span();
    view_.setColumns(geometry().plotWidth());
    view_.setSpan(all.from, all.to);
    view_.fit(static_cast<double>(all.from), static_cast<double>(all.to));
    refresh();
}

void CHistoryDlg::OnZoomToCursors() {
    const std::optional<history::TimeRange> range = cursors_.between();
    if (!range) return;
    const auto length = static_cast<double>(range->to - range->from);
    const double margin = std::max(length * cursorZoomMargin, 1.0);
    view_.fit(static_cast<double>(range->from) - margin, static_cast<double>(range->to) + margin);
    refresh();
}

void CHistoryDlg::OnCopyMeasurements() {
    if (!CopyTextToClipboard(history::measurementTableText(rowNames(), measurements()))) {
        ShowMessage(jp("測定をクリップボードにコピーできません"));
    }
}

void CHistoryDlg::OnSaveRange() {
    if (savingRange()) return;
    const auto path =
        store::chooseFile(*this, saveRequest("csv", "CSV (*.csv)|*.csv|all files(*.*)|*.*||"));
    if (!path) return;
    // Replacing the log being written would leave its writer appending to
    // a file that no longer has a name.
    if (main_.eventLog.logging() && *path == main_.eventLog.path()) {
        ShowMessage(jp("記録中のログには保存できません。別のファイルを選んでください"));
        return;
    }
    // The worker writes from a copy of what is shown, so that a range of
    // a million changes leaves the window free and the range is the one
    // shown at the click, however the history grows meanwhile.
    const history::TimeRange range = cursors_.measured(viewRange());
    auto changes = std::make_shared<history::Timeline>(shown().rows());
    changes->follow(shown());
    auto link = std::make_shared<WindowLink<std::function<void(CHistoryDlg&)>>>(
        [this](std::function<void(CHistoryDlg&)> work) {
            main_.PostToWindowThread([this, work = std::move(work)] { work(*this); });
        });
    const bool started = StartWorkerLetGoAtClose(
        [link, changes, range, names = rowNames(), path = *path, write = rangeWriter_] {
            const bool saved = write(path, store::rangeCsv(*changes, range.from, range.to, names));
            link->toWindow([saved](CHistoryDlg& window) { window.rangeSaved(saved); });
        });
    if (!started) {
        ShowMessage(jp("範囲を保存できません"));
        return;
    }
    rangeSave_ = link;
    saveRangeButton.enable(false);
}

void CHistoryDlg::rangeSaved(bool saved) {
    rangeSave_.reset();
    if (IsWindowOpen()) saveRangeButton.enable(true);
    if (saved) return;
    ui::Dialog& teller = IsWindowOpen() ? static_cast<ui::Dialog&>(*this) : main_;
    teller.ShowMessage(jp("範囲を保存できません"));
}

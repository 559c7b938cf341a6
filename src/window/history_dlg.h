// The signal history window: the program's live history or any log of
// either program as a timing diagram, one row per signal, with two cursors
// and a table of each signal's figures between them. Modeless; the main
// window opens it from its history button and closes it with itself.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "history/cursors.h"
#include "history/log_reader.h"
#include "history/measurements.h"
#include "history/time_view.h"
#include "history/timeline.h"
#include "platform/ui.h"
#include "window/history_diagram.h"
#include "window/window_link.h"

class CMonitorDlg;

class CHistoryDlg : public ui::Dialog {
public:
    explicit CHistoryDlg(CMonitorDlg& main);
    ~CHistoryDlg() override;

    bool OnInitDialog() override;
    void OnDestroy() override;
    // Enter presses a focused button and otherwise does nothing: only
    // Escape and the close box close the window.
    void OnOK() override {}
    bool PreTranslateMessage(const ui::KeyMessage& message) override;
    bool OnCommand(ui::Notification notification, int controlId) override;
    void OnTimer(int id) override;
    void OnSize(ui::Size client) override;
    void OnSurfacePaint(int id, ui::Painter& painter) override;
    void OnSurfaceMouse(int id, const ui::MouseEvent& event) override;

    void OnOpenLog();
    void OnShowLive();
    void OnFilterChanged();
    void OnCopy();
    void OnSavePng();
    void OnScroll();
    void OnCancelLoading();
    void OnShowWhole();
    void OnZoomToCursors();
    void OnCopyMeasurements();
    void OnSaveRange();

    // The history the diagram draws, after the filter.
    const history::Timeline& shown() const;
    const history::TimeView& view() const { return view_; }
    DiagramGeometry geometry() const;
    // The names of the rows as the diagram labels them (CP932).
    std::vector<std::string> rowNames() const;
    const history::Cursors& cursors() const { return cursors_; }
    // What the table shows: each row's figures over the cursors' range, or
    // over the view when they are not both placed.
    std::vector<history::RowMeasurements> measurements() const;

    ui::Control openLogButton, liveButton, filterCombo, copyButton, savePngButton;
    ui::Control wholeButton, zoomCursorsButton, copyMeasurementsButton, saveRangeButton;
    ui::Control diagram, scrollBar, pointerLabel, sourceLabel, cancelButton, table;

    // The timer that brings the diagram up to date while the window is open.
    static constexpr int refreshTimer = 1;
    static constexpr int refreshIntervalMs = 100;

    // A log shown, and what the window shares with the worker that reads it
    // (window/history_log_state.h).
    struct Log;
    class Reading;
    // On the window thread, handed over by that worker: the log read to its
    // end (read false: it could not be, or it was cancelled), or what was
    // appended to it since.
    void logRead(const std::shared_ptr<Reading>& reading, const std::shared_ptr<Log>& log,
                 bool read);
    void logGrew(const std::shared_ptr<Reading>& reading, const std::string& bytes);

    // Writes a saved range's file whole, or leaves it as it was (false);
    // tests give one that fails or waits.
    using RangeWriter = std::function<bool(const std::string& path, std::string_view text)>;
    void useRangeWriter(RangeWriter writer) { rangeWriter_ = std::move(writer); }
    bool savingRange() const { return rangeSave_ != nullptr; }

private:
    const history::Timeline& source() const;
    history::RowSet rows() const;
    // Brings the copy of the live history, the filter and its choices up to
    // date; true when the history gained changes.
    bool takeNewChanges();
    void rebuildFilter();
    void refresh();
    void openLiveView();
    void showSourceText();
    void showPointerText();
    void startReading(const std::string& path);
    void stopReading();
    void placeControls(ui::Size client);
    void zoomAt(double factor, std::optional<int> x);
    // The save dialog's request for a file of the extension and filter.
    static ui::FileDialogRequest saveRequest(const char* extension, const char* filter);
    history::TimeRange viewRange() const;
    // The history's first and last time, the present while live.
    history::TimeRange span() const;
    void clickAt(const ui::MouseEvent& event, history::Cursors::Which which);
    bool cursorKey(const ui::KeyMessage& message);
    std::string pointedText() const;
    // On the window thread, handed over by the worker that saved a range.
    void rangeSaved(bool saved);

    CMonitorDlg& main_;
    history::Timeline liveCopy_;
    std::shared_ptr<Log> log_;
    std::shared_ptr<Reading> reading_;
    std::optional<history::FilteredTimeline> filtered_;
    std::vector<history::Filter> filterChoices_;
    std::set<std::uint16_t> portsSeen_;
    std::set<std::uint32_t> addressesSeen_;
    std::uint64_t sourcesSeen_ = 0;
    history::TimeView view_;
    // Pixels of the parts of the diagram that are measured in dialog units.
    int labelWidth_ = 0;
    int axisHeight_ = 0;

    struct PointerAt {
        int x = 0;
        int y = 0;
    };
    std::optional<PointerAt> pointer_;  // over the diagram
    history::Cursors cursors_;
    // The link of the range being saved, kept until its outcome is told: it
    // reaches the main window, so that a failure is told when this one has
    // closed meanwhile.
    std::shared_ptr<WindowLink<std::function<void(CHistoryDlg&)>>> rangeSave_;
    RangeWriter rangeWriter_;
    bool rightPressed_ = false;
    bool dragging_ = false;
    bool dragged_ = false;
    int pressX_ = 0;
    int dragX_ = 0;
};

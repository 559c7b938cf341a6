#include "window/history_dlg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "history/cursor_text.h"
#include "history/log_reader.h"
#include "history/png_image.h"
#include "history/wall_clock.h"
#include "platform/fs.h"
#include "platform/fs_bytes.h"
#include "platform/sock.h"
#include "platform/text.h"
#include "platform/wall_clock.h"
#include "store/file_choice.h"
#include "window/control_ids.h"
#include "window/history_layout.h"
#include "window/history_log_state.h"
#include "window/measurement_table.h"
#include "window/monitor_dlg.h"

namespace {

// How each control follows the window's size: moved with the right or
// bottom edge, or grown with it.
struct Anchor {
    int id;
    bool right;
    bool bottom;
    bool growX;
    bool growY;
};
constexpr Anchor anchors[] = {
    {ids::historyDiagram, false, false, true, true}, {ids::historyScroll, false, true, true, false},
    {ids::historyPointer, false, true, true, false}, {ids::historySource, false, true, true, false},
    {ids::historyCancel, true, true, false, false},  {ids::historyTable, false, true, true, false},
};

// The names' column is as wide as a name field of the main window.
constexpr int labelWidthUnits = 90;
constexpr int axisHeightUnits = 12;
// The live history opens with all of it across the diagram, from 10 s to a
// minute.
constexpr double shortestOpeningMs = 10'000;
constexpr double longestOpeningMs = 60'000;
constexpr double wheelZoomPerNotch = 1.5;
constexpr int dragThreshold = 3;
// Ports and devices beyond these are not offered one by one.
constexpr std::size_t maxFilterChoices = 256;

std::string jp(const char* utf8) {
    return text::jp(utf8);
}

std::string fileNameOf(const std::string& path) {
    const std::size_t separator = path.rfind(fs::pathSeparator[0]);
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

std::string megabytes(std::int64_t bytes) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.1f", static_cast<double>(bytes) / (1024.0 * 1024.0));
    return buffer;
}

}  // namespace

CHistoryDlg::CHistoryDlg(CMonitorDlg& main)
    : ui::Dialog(historyDialogLayout(), &main),
      openLogButton(this, ids::historyOpenLog),
      liveButton(this, ids::historyLive),
      filterCombo(this, ids::historyFilter),
      copyButton(this, ids::historyCopy),
      savePngButton(this, ids::historySavePng),
      wholeButton(this, ids::historyWhole),
      zoomCursorsButton(this, ids::historyZoomCursors),
      copyMeasurementsButton(this, ids::historyCopyMeasurements),
      saveRangeButton(this, ids::historySaveRange),
      diagram(this, ids::historyDiagram),
      scrollBar(this, ids::historyScroll),
      pointerLabel(this, ids::historyPointer),
      sourceLabel(this, ids::historySource),
      cancelButton(this, ids::historyCancel),
      table(this, ids::historyTable),
      main_(main),
      liveCopy_({variant::inputCount, variant::outputCount}),
      view_(1, longestOpeningMs),
      rangeWriter_(fs::replaceTextFile) {}

CHistoryDlg::~CHistoryDlg() {
    if (rangeSave_) rangeSave_->cut();
}

bool CHistoryDlg::OnInitDialog() {
    labelWidth_ = MapDialogRect({0, 0, labelWidthUnits, 0}).cx;
    axisHeight_ = MapDialogRect({0, 0, 0, axisHeightUnits}).cy;
    cancelButton.show(false);
    liveButton.enable(false);
    placeControls(GetClientSize());
    takeNewChanges();
    rebuildFilter();
    openLiveView();
    refresh();
    SetTimer(refreshTimer, refreshIntervalMs);
    return true;
}

void CHistoryDlg::OnDestroy() {
    KillTimer(refreshTimer);
    // The log's worker ends at its next look, and nothing of it reaches the
    // window any more.
    stopReading();
    log_.reset();
    filtered_.reset();
    pointer_.reset();
    cursors_.clear();
    dragging_ = false;
    rightPressed_ = false;
}

bool CHistoryDlg::OnCommand(ui::Notification notification, int controlId) {
    using N = ui::Notification;
    using D = CHistoryDlg;
    static constexpr Route<D> routes[] = {
        {N::Clicked, ids::historyOpenLog, &D::OnOpenLog},
        {N::Clicked, ids::historyLive, &D::OnShowLive},
        {N::SelChange, ids::historyFilter, &D::OnFilterChanged},
        {N::Clicked, ids::historyCopy, &D::OnCopy},
        {N::Clicked, ids::historySavePng, &D::OnSavePng},
        {N::Scroll, ids::historyScroll, &D::OnScroll},
        {N::Clicked, ids::historyCancel, &D::OnCancelLoading},
        {N::Clicked, ids::historyWhole, &D::OnShowWhole},
        {N::Clicked, ids::historyZoomCursors, &D::OnZoomToCursors},
        {N::Clicked, ids::historyCopyMeasurements, &D::OnCopyMeasurements},
        {N::Clicked, ids::historySaveRange, &D::OnSaveRange},
    };
    if (dispatch<D>(this, routes, notification, controlId)) return true;
    return ui::Dialog::OnCommand(notification, controlId);
}

// ---- what is shown ------------------------------------------------------------

const history::Timeline& CHistoryDlg::source() const {
    if (log_ && log_->reader.timeline()) return *log_->reader.timeline();
    if (log_) {
        static const history::Timeline noLines(history::RowSet{0, 0});
        return noLines;
    }
    return liveCopy_;
}

const history::Timeline& CHistoryDlg::shown() const {
    return filtered_ ? filtered_->timeline() : source();
}

history::RowSet CHistoryDlg::rows() const {
    return source().rows();
}

std::vector<std::string> CHistoryDlg::rowNames() const {
    std::vector<std::string> names = history::defaultNames(rows());
    if (log_) {
        // The header in force at the diagram's right edge.
        const double edge = view_.timeAt(view_.columns());
        for (const history::NamesInForce& header : log_->reader.names()) {
            if (static_cast<double>(header.from) > edge &&
                &header != &log_->reader.names().front()) {
                break;
            }
            names = header.names;
        }
        return names;
    }
    // Live, the names the main window's fields show now.
    std::vector<std::string> shownNames;
    for (const InputControls& input : main_.inputControls) {
        shownNames.push_back(input.nameEdit.text());
    }
    for (const OutputControls& output : main_.outputControls) {
        shownNames.push_back(output.nameEdit.text());
    }
    if (shownNames.size() == names.size()) names = shownNames;
    return names;
}

DiagramGeometry CHistoryDlg::geometry() const {
    const ui::Rect place = diagram.place();
    DiagramGeometry g;
    g.width = place.cx;
    g.height = place.cy;
    g.labelWidth = labelWidth_;
    g.axisHeight = axisHeight_;
    g.rows = rows().count();
    return g;
}

bool CHistoryDlg::takeNewChanges() {
    if (!log_) main_.signalHistory.copyTo(liveCopy_);
    const history::Timeline& all = source();
    const bool gained = all.appendedCount() != sourcesSeen_;
    for (std::uint64_t sequence = std::max(sourcesSeen_, all.firstSequence());
         sequence < all.appendedCount() && filterChoices_.size() < maxFilterChoices; ++sequence) {
        const history::Change& change = all.at(sequence - all.firstSequence());
        if (change.address == 0) continue;
        if (change.port != 0 && portsSeen_.insert(change.port).second) {
            filterChoices_.push_back({history::Filter::Kind::Port, change.port, 0});
            filterCombo.addString(jp("ポート ") + std::to_string(change.port));
        }
        if (addressesSeen_.insert(change.address).second) {
            filterChoices_.push_back({history::Filter::Kind::Address, 0, change.address});
            filterCombo.addString(sock::inetNtoa(change.address));
        }
    }
    sourcesSeen_ = all.appendedCount();
    if (filtered_) filtered_->update(all);
    return gained;
}

// The choices start again with "all" for a new source; the devices and
// ports come in as the history shows them.
void CHistoryDlg::rebuildFilter() {
    filterCombo.resetContent();
    filterCombo.addString(jp("すべて"));
    filterCombo.setCurSel(0);
    filterChoices_.clear();
    portsSeen_.clear();
    addressesSeen_.clear();
    sourcesSeen_ = 0;
    filtered_.reset();
}

history::TimeRange CHistoryDlg::span() const {
    const history::Timeline& all = source();
    history::TimeRange range;
    if (!all.empty()) range = {all.at(0).time, all.back().time};
    if (!log_) range.to = std::max(range.to, wallclock::localNowMs());
    return range;
}

// As [from, to): a change drawn in the last column is in the view.
history::TimeRange CHistoryDlg::viewRange() const {
    return {static_cast<history::TimeMs>(std::floor(view_.timeAt(0))),
            static_cast<history::TimeMs>(std::ceil(view_.timeAt(view_.columns()))) + 1};
}

void CHistoryDlg::refresh() {
    const history::TimeRange all = span();
    view_.setColumns(geometry().plotWidth());
    view_.setSpan(all.from, all.to);
    const history::ScrollState scroll = view_.scroll();
    scrollBar.setScroll(scroll.max, scroll.page, scroll.pos);
    showSourceText();
    showPointerText();
    const bool bothPlaced = cursors_.between().has_value();
    if (zoomCursorsButton.isEnabled() != bothPlaced) zoomCursorsButton.enable(bothPlaced);
    if (saveRangeButton.isEnabled() != !savingRange()) saveRangeButton.enable(!savingRange());
    diagram.invalidate();
    table.invalidate();
}

void CHistoryDlg::OnTimer(int id) {
    if (id != refreshTimer) return;
    const bool loading = reading_ && !reading_->loaded.load();
    // A view of the past with nothing new to show is left alone.
    if (takeNewChanges() || view_.following() || loading) refresh();
}

// ---- the controls' places --------------------------------------------------

void CHistoryDlg::placeControls(ui::Size client) {
    const ui::Rect frame =
        MapDialogRect({0, 0, historyDialogLayout().cx, historyDialogLayout().cy});
    const int dx = std::max(0, client.cx - frame.cx);
    const int dy = std::max(0, client.cy - frame.cy);
    for (const Anchor& anchor : anchors) {
        for (const ui::ControlLayout& control : historyDialogLayout().controls) {
            if (control.id != anchor.id) continue;
            ui::Rect place = MapDialogRect({control.x, control.y, control.cx, control.cy});
            if (anchor.right) place.x += dx;
            if (anchor.bottom) place.y += dy;
            if (anchor.growX) place.cx += dx;
            if (anchor.growY) place.cy += dy;
            item(control.id).moveTo(place);
        }
    }
}

void CHistoryDlg::OnSize(ui::Size client) {
    placeControls(client);
    refresh();
}

// ---- the diagram -------------------------------------------------------------

void CHistoryDlg::OnSurfacePaint(int id, ui::Painter& painter) {
    if (id == ids::historyTable) {
        drawMeasurementTable(painter, {rowNames(), measurements(), cursors_.row()});
        return;
    }
    if (id != ids::historyDiagram) return;
    DiagramContent content;
    content.geometry = geometry();
    content.geometry.width = painter.size().cx;
    content.geometry.height = painter.size().cy;
    content.timeline = &shown();
    content.view = &view_;
    content.names = rowNames();
    content.cursorA = cursors_.a();
    content.cursorB = cursors_.b();
    content.chosenRow = cursors_.row();
    if (pointer_) content.pointerX = pointer_->x;
    drawDiagram(painter, content);
}

void CHistoryDlg::zoomAt(double factor, std::optional<int> x) {
    const DiagramGeometry g = geometry();
    const double column = x ? *x - g.labelWidth : g.plotWidth() / 2.0;
    view_.zoom(factor, std::clamp(column, 0.0, static_cast<double>(g.plotWidth())));
    refresh();
}

void CHistoryDlg::OnSurfaceMouse(int id, const ui::MouseEvent& event) {
    if (id != ids::historyDiagram) return;
    using K = ui::MouseEvent::Kind;
    switch (event.kind) {
        case K::Wheel:
            zoomAt(std::pow(wheelZoomPerNotch, event.wheelDelta / 120.0), event.x);
            return;
        case K::Press:
            if (event.button == ui::MouseEvent::Button::Right) {
                rightPressed_ = true;
                return;
            }
            if (event.button != ui::MouseEvent::Button::Left) return;
            dragging_ = true;
            dragged_ = false;
            pressX_ = dragX_ = event.x;
            return;
        case K::Move:
            pointer_ = PointerAt{event.x, event.y};
            if (dragging_ && event.leftButton) {
                if (std::abs(event.x - pressX_) > dragThreshold) dragged_ = true;
                if (dragged_) view_.pan(dragX_ - event.x);
                dragX_ = event.x;
            }
            refresh();
            return;
        case K::Release: {
            using W = history::Cursors::Which;
            if (event.button == ui::MouseEvent::Button::Right) {
                if (rightPressed_) clickAt(event, W::B);
                rightPressed_ = false;
                return;
            }
            if (event.button != ui::MouseEvent::Button::Left) return;
            const bool click = dragging_ && !dragged_;
            dragging_ = false;
            if (click) clickAt(event, event.shift ? W::B : W::A);
            return;
        }
        case K::Leave:
            pointer_.reset();
            refresh();
            return;
    }
}

bool CHistoryDlg::PreTranslateMessage(const ui::KeyMessage& message) {
    if (message.key != ui::Key::Other) return ui::Dialog::PreTranslateMessage(message);
    if (message.control && message.keyCode == 'C') {
        OnCopy();
        return true;
    }
    if (FocusedControl() != ids::historyDiagram) return false;
    if (cursorKey(message)) return true;
    const std::optional<int> x = pointer_ ? std::optional<int>(pointer_->x) : std::nullopt;
    const double step = geometry().plotWidth() / 10.0;
    switch (message.keyCode) {
        case ui::vk::oemPlus:
        case ui::vk::add:
            zoomAt(2, x);
            return true;
        case ui::vk::oemMinus:
        case ui::vk::subtract:
            zoomAt(0.5, x);
            return true;
        case ui::vk::left:
            view_.pan(-step);
            break;
        case ui::vk::right:
            view_.pan(step);
            break;
        case ui::vk::home:
            view_.pan(-1e15);
            break;
        case ui::vk::end:
            view_.showLatest();
            break;
        default:
            return false;
    }
    refresh();
    return true;
}

void CHistoryDlg::OnScroll() {
    view_.scrollTo(scrollBar.scrollPos());
    refresh();
}

// ---- texts under the diagram ---------------------------------------------------

void CHistoryDlg::showSourceText() {
    std::string text;
    if (reading_ && !reading_->loaded.load()) {
        const std::int64_t done = reading_->done.load();
        const std::int64_t total = std::max<std::int64_t>(reading_->total.load(), done);
        const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 0;
        text = jp("読み込み中... ") + std::to_string(percent) + "% (" + megabytes(done) + " / " +
               megabytes(total) + " MB)";
    } else if (log_) {
        text = jp("ログ ") + fileNameOf(log_->path) + jp(": 変化 ") +
               std::to_string(source().size()) + jp(" 件、読み飛ばした行 ") +
               std::to_string(log_->reader.skipped()) + jp(" 行 (追従中)");
    } else {
        text = jp("ライブ: 起動からの変化 ") + std::to_string(liveCopy_.appendedCount()) +
               jp(" 件 (直近 24 時間分、最大約 100 万件を保持)");
    }
    if (sourceLabel.text() != text) sourceLabel.setText(text);
}

// The cursors' times and span, then what the pointer points at; with the
// pointer away from the diagram, what cursor A stands on while it is alone.
void CHistoryDlg::showPointerText() {
    std::string text = history::cursorLineText(cursors_.a(), cursors_.b());
    const std::string pointed = pointedText();
    if (!text.empty() && !pointed.empty()) text += "  ";
    text += pointed;
    if (pointerLabel.text() != text) pointerLabel.setText(text);
}

// The change nearest to the pointer (or to cursor A): the row's state, the
// change's time and where it came from.
std::string CHistoryDlg::pointedText() const {
    const DiagramGeometry g = geometry();
    std::optional<history::TimeMs> time;
    std::optional<int> row;
    if (pointer_ && pointer_->x >= g.labelWidth) {
        time = static_cast<history::TimeMs>(view_.timeAt(pointer_->x - g.labelWidth));
        row = g.rowAt(pointer_->y);
    } else if (cursors_.a() && !cursors_.b()) {
        time = cursors_.a();
        row = cursors_.row();
    }
    const history::Timeline& timeline = shown();
    std::optional<std::size_t> index;
    if (time) {
        index = timeline.nearestChange(
            *time, row ? static_cast<history::RowMask>(1u << *row) : rows().all());
    }
    if (!index) return {};
    const history::Change& change = timeline.at(*index);
    const history::RowSet set = rows();
    std::string text;
    if (row) {
        const std::vector<std::string> names = rowNames();
        const history::RowStates states = history::statesOf(change, set);
        const auto bit = static_cast<history::RowMask>(1u << *row);
        const char* state = (states.on & bit) != 0     ? "ON"
                            : (states.grey & bit) != 0 ? "停止中"
                                                       : "OFF";
        text = names[static_cast<std::size_t>(*row)] + jp(" が ") + jp(state) + "  ";
    }
    text += history::formatDateTime(change.time) + "  ";
    if (change.address != 0) {
        text += jp("送信元 ") + sock::inetNtoa(change.address);
        if (change.port != 0) text += jp("  ポート ") + std::to_string(change.port);
    } else if (*index == 0 && timeline.firstSequence() == 0 && !log_) {
        text += jp("起動");
    } else {
        const history::RowMask changed = timeline.changedAt(*index);
        const auto outputs = static_cast<history::RowMask>(set.all() & ~set.inputMask());
        if (change.stopped != 0 || (changed & outputs) == 0) {
            text += jp(change.stopped != 0 ? "サーバ停止" : "サーバ開始");
        } else {
            text += jp("ON/OFFボタン");
        }
    }
    return text;
}

// ---- the filter and the live history ----------------------------------------

void CHistoryDlg::OnFilterChanged() {
    const int choice = filterCombo.curSel();
    history::Filter filter;
    if (choice > 0 && static_cast<std::size_t>(choice) <= filterChoices_.size()) {
        filter = filterChoices_[static_cast<std::size_t>(choice - 1)];
    }
    filtered_.reset();
    if (filter.kind != history::Filter::Kind::All) {
        filtered_.emplace(rows(), filter, history::Bound{});
        filtered_->update(source());
    }
    cursors_.clear();
    refresh();
}

void CHistoryDlg::openLiveView() {
    const double sinceStart = static_cast<double>(wallclock::localNowMs() - liveCopy_.at(0).time);
    const double span = std::clamp(sinceStart, shortestOpeningMs, longestOpeningMs);
    view_ = history::TimeView(geometry().plotWidth(), span / geometry().plotWidth());
}

void CHistoryDlg::OnShowLive() {
    if (!log_) return;
    stopReading();
    log_.reset();
    liveButton.enable(false);
    rebuildFilter();
    cursors_.clear();
    takeNewChanges();
    openLiveView();
    refresh();
}

// ---- copy and PNG --------------------------------------------------------------

void CHistoryDlg::OnCopy() {
    if (!CopyImageToClipboard(diagram.capture())) {
        ShowMessage(jp("図をクリップボードにコピーできません"));
    }
}

ui::FileDialogRequest CHistoryDlg::saveRequest(const char* extension, const char* filter) {
    ui::FileDialogRequest request;
    request.save = true;
    request.defaultExtension = extension;
    request.filter = filter;
    request.overwritePrompt = true;
    request.hideReadOnly = true;
    return request;
}

void CHistoryDlg::OnSavePng() {
    const auto path =
        store::chooseFile(*this, saveRequest("png", "PNG (*.png)|*.png|all files(*.*)|*.*||"));
    if (!path) return;
    const ui::Image image = diagram.capture();
    if (!fs::writeBytes(*path, history::encodePng(image.width, image.height, image.pixels))) {
        ShowMessage(jp("PNG ファイルを保存できません"));
    }
}

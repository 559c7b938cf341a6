// The signal history window (template 140): two rows of buttons and the
// filter above the diagram, its scroll bar, two lines of text and the
// measurements table below.
#include "window/history_layout.h"

#include "window/control_ids.h"

namespace {

using ui::Kind;

constexpr ui::ControlLayout controls[] = {
    {ids::historyOpenLog, Kind::PushButton, ui::styleTabStop, "ログを開く(&O)...", 5, 5, 65, 14},
    {ids::historyLive, Kind::PushButton, ui::styleTabStop, "ライブ表示(&L)", 75, 5, 60, 14},
    {ui::idNone, Kind::Static, ui::styleNone, "絞り込み(&F):", 145, 8, 45, 8},
    {ids::historyFilter, Kind::DropDownList, ui::styleTabStop | ui::styleVScroll, "", 190, 5, 100,
     120},
    {ids::historyCopy, Kind::PushButton, ui::styleTabStop, "コピー(&C)", 300, 5, 50, 14},
    {ids::historySavePng, Kind::PushButton, ui::styleTabStop, "PNG保存(&S)...", 355, 5, 60, 14},
    {ids::historyWhole, Kind::PushButton, ui::styleTabStop, "全体表示(&W)", 5, 23, 55, 14},
    {ids::historyZoomCursors, Kind::PushButton, ui::styleTabStop, "A-B を拡大(&Z)", 65, 23, 60, 14},
    {ids::historyCopyMeasurements, Kind::PushButton, ui::styleTabStop, "測定のコピー(&M)", 130, 23,
     65, 14},
    {ids::historySaveRange, Kind::PushButton, ui::styleTabStop, "範囲の保存(&E)...", 200, 23, 70,
     14},
    {ids::historyDiagram, Kind::Surface, ui::styleTabStop, "", 5, 42, 410, 150},
    {ids::historyScroll, Kind::HScrollBar, ui::styleNone, "", 5, 193, 410, 10},
    {ids::historyPointer, Kind::Static, ui::styleNone, "", 5, 207, 355, 8},
    {ids::historySource, Kind::Static, ui::styleNone, "", 5, 218, 355, 8},
    {ids::historyCancel, Kind::PushButton, ui::styleTabStop, "中止(&X)", 365, 209, 50, 14},
    {ids::historyTable, Kind::Surface, ui::styleNone, "", 5, 230, 410, 72},
};

constexpr ui::DialogLayout historyLayout{ids::historyDialog,
                                         "信号の履歴",
                                         420,
                                         306,
                                         "ＭＳ Ｐゴシック",
                                         9,
                                         ui::frameCaption | ui::frameSysMenu | ui::frameResizable,
                                         controls};

}  // namespace

const ui::DialogLayout& historyDialogLayout() {
    return historyLayout;
}

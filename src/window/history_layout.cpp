// The signal history window (template 140): a row of buttons and the
// filter above the diagram, its scroll bar and two lines of text below.
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
    {ids::historyDiagram, Kind::Surface, ui::styleTabStop, "", 5, 24, 410, 165},
    {ids::historyScroll, Kind::HScrollBar, ui::styleNone, "", 5, 190, 410, 10},
    {ids::historyPointer, Kind::Static, ui::styleNone, "", 5, 204, 350, 8},
    {ids::historySource, Kind::Static, ui::styleNone, "", 5, 215, 350, 8},
    {ids::historyCancel, Kind::PushButton, ui::styleTabStop, "中止(&X)", 365, 206, 50, 14},
};

constexpr ui::DialogLayout historyLayout{ids::historyDialog,
                                         "信号の履歴",
                                         420,
                                         228,
                                         "ＭＳ Ｐゴシック",
                                         9,
                                         ui::frameCaption | ui::frameSysMenu | ui::frameResizable,
                                         controls};

}  // namespace

const ui::DialogLayout& historyDialogLayout() {
    return historyLayout;
}

// Rows of the main window's template that both programs share. Each
// program's own table (src/variant/<program>/main_layout.cpp) puts them in
// its template order together with the rows that differ.
#pragma once

#include "platform/ui.h"
#include "window/control_ids.h"

namespace main_layout {

using ui::Kind;

inline constexpr std::uint32_t editStyle =
    ui::styleTabStop | ui::styleBorder | ui::styleAutoHScroll;
inline constexpr std::uint32_t portEditStyle = editStyle | ui::styleDigitsOnly;
inline constexpr std::uint32_t lampStyle = ui::styleSunkenEdge;
inline constexpr std::uint32_t frameStyle =
    ui::frameVisible | ui::frameCaption | ui::frameSysMenu | ui::frameModal | ui::frameAppWindow;
inline constexpr char dialogFont[] = "ＭＳ Ｐゴシック";
inline constexpr int dialogFontPoints = 9;
inline constexpr char peerPlaceholder[] = "接続元 : 123.456.789.012";
inline constexpr char serverButtonPlaceholder[] = "hogehoge";
// A peer label holds "接続元 : " and an address of up to 15 characters on
// one line; at its first width it wrapped at the blank and the second line
// was cut off. The port edits give up the room (five digits still fit), so
// the labels still end left of the DI group box (x 135).
inline constexpr int portEditWidth = 32;
inline constexpr int peerLabelX = 45;
inline constexpr int peerLabelWidth = 89;

inline constexpr ui::ControlLayout loadSettingsButton{
    ids::loadSettingsButton, Kind::PushButton, ui::styleTabStop, "設定の読込(&L)", 5, 5, 85, 14};
inline constexpr ui::ControlLayout saveSettingsButton{
    ids::saveSettingsButton, Kind::PushButton, ui::styleTabStop, "設定の保存(&A)", 5, 25, 85, 14};
inline constexpr ui::ControlLayout titleBarButton{ids::titleBarButton,
                                                  Kind::PushButton,
                                                  ui::styleTabStop,
                                                  "タイトルバーの変更(&T)",
                                                  170,
                                                  5,
                                                  85,
                                                  14};
// On the second row, below the title bar button and as wide; the trace box
// it covers is hidden from the end of start-up.
inline constexpr ui::ControlLayout historyButton{
    ids::historyButton, Kind::PushButton, ui::styleTabStop, "信号の履歴(&H)...", 170, 25, 85, 14};
inline constexpr ui::ControlLayout portHeading{
    ui::idNone, Kind::Static, ui::styleNone, "待ち受けポート番号設定(&P):", 5, 85, 95, 8};
inline constexpr ui::ControlLayout portEdit1{ids::portEdit1, Kind::Edit, portEditStyle, "", 10, 95,
                                             portEditWidth,  14};
inline constexpr ui::ControlLayout inputName1{
    ids::inputNameEdit1, Kind::Edit, editStyle, "", 140, 91, 85, 15};
inline constexpr ui::ControlLayout inputLamp1{
    ids::inputLamp1, Kind::Static, lampStyle, "", 230, 91, 16, 15};
inline constexpr ui::ControlLayout inputSeparator1{
    ui::idNone, Kind::EtchedLine, ui::styleNone, "", 140, 111, 105, 1};
inline constexpr ui::ControlLayout inputName2{
    ids::inputNameEdit1 + 1, Kind::Edit, editStyle, "", 140, 117, 85, 15};
inline constexpr ui::ControlLayout inputLamp2{
    ids::inputLamp1 + 1, Kind::Static, lampStyle, "", 230, 117, 16, 15};
inline constexpr ui::ControlLayout inputSeparator2{
    ui::idNone, Kind::EtchedLine, ui::styleNone, "", 140, 137, 105, 1};
inline constexpr ui::ControlLayout inputName3{
    ids::inputNameEdit1 + 2, Kind::Edit, editStyle, "", 140, 141, 85, 15};
inline constexpr ui::ControlLayout inputLamp3{
    ids::inputLamp1 + 2, Kind::Static, lampStyle, "", 230, 141, 16, 15};
inline constexpr ui::ControlLayout topSeparator{
    ui::idNone, Kind::EtchedLine, ui::styleNone, "", 5, 50, 250, 1};
inline constexpr ui::ControlLayout adapterCombo{ids::adapterCombo,
                                                Kind::DropDownList,
                                                ui::styleTabStop | ui::styleVScroll,
                                                "",
                                                5,
                                                65,
                                                250,
                                                205};
inline constexpr ui::ControlLayout adapterHeading{
    ui::idNone, Kind::Static, ui::styleNone, "ネットワークデバイスの選択:", 5, 55, 95, 8};
inline constexpr ui::ControlLayout portEdit2{ids::portEdit2, Kind::Edit, portEditStyle, "", 10, 110,
                                             portEditWidth,  14};
inline constexpr ui::ControlLayout portEdit3{ids::portEdit3, Kind::Edit, portEditStyle, "", 10, 125,
                                             portEditWidth,  14};
inline constexpr ui::ControlLayout peerLabel4{
    ids::peerLabel4, Kind::Static, ui::styleNone,  peerPlaceholder,
    peerLabelX,      142,          peerLabelWidth, 8};
inline constexpr ui::ControlLayout portEdit4{ids::portEdit4, Kind::Edit, portEditStyle, "", 10, 140,
                                             portEditWidth,  14};

// The peer labels of slots 1 to 3 carry the program's own placeholder text.
constexpr ui::ControlLayout peerLabel(int id, const char* placeholder, int y) {
    return {id, Kind::Static, ui::styleNone, placeholder, peerLabelX, y, peerLabelWidth, 8};
}

// The log block stands lower in Kelvane, below the outputs; top is the
// y of the logging check box.
constexpr ui::ControlLayout loggingCheck(int top) {
    return {ids::loggingCheck,
            Kind::AutoCheckBox,
            ui::styleTabStop,
            "ロギング有効(E)",
            10,
            top,
            63,
            10};
}
constexpr ui::ControlLayout logFileHeading(int top) {
    return {ui::idNone, Kind::Static, ui::styleNone, "ファイル:", 15, top + 16, 30, 8};
}
constexpr ui::ControlLayout logFileEdit(int top) {
    return {ids::logFileEdit,
            Kind::Edit,
            ui::styleTabStop | ui::styleReadOnly | ui::styleMultiline,
            "",
            50,
            top + 16,
            145,
            20};
}
constexpr ui::ControlLayout browseLogButton(int top) {
    return {ids::browseLogButton,
            Kind::PushButton,
            ui::styleTabStop,
            "参照(&B)...",
            205,
            top + 16,
            50,
            14};
}
constexpr ui::ControlLayout versionLabel(int top) {
    return {ids::versionLabel, Kind::Static, ui::styleAlignRight, "Static", 200, top + 46, 55, 8};
}

}  // namespace main_layout

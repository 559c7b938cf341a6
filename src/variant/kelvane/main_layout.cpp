// Kelvane's main window (template 102): three inputs, three outputs and the
// destination port of the output frames.
#include "variant_constants.h"
#include "window/main_layout_rows.h"

namespace variant {
namespace {

using namespace main_layout;
using ui::Kind;

constexpr int logTop = 345;

constexpr ui::ControlLayout controls[] = {
    loadSettingsButton,
    saveSettingsButton,
    titleBarButton,
    peerLabel(ids::peerLabel1, peerPlaceholder, 97),
    portHeading,
    portEdit1,
    {ids::serverButton, Kind::PushButton, ui::styleTabStop, serverButtonPlaceholder, 10, 160, 120,
     20},
    {ids::statusLabel, Kind::Static,
     ui::styleBorder | ui::styleAlignCenter | ui::styleCenterVertical, "Static", 15, 190, 110, 25},
    {ui::idNone, Kind::GroupBox, ui::styleNone, "DI", 135, 81, 120, 84},
    inputName1,
    inputLamp1,
    inputSeparator1,
    inputName2,
    inputLamp2,
    inputSeparator2,
    inputName3,
    inputLamp3,
    loggingCheck(logTop),
    logFileHeading(logTop),
    logFileEdit(logTop),
    browseLogButton(logTop),
    versionLabel(logTop),
    {ids::traceEdit, Kind::Edit,
     ui::styleMultiline | ui::styleBorder | ui::styleVScroll | ui::styleAutoVScroll |
         ui::styleTabStop,
     "", 195, 25, 60, 20},
    topSeparator,
    adapterCombo,
    adapterHeading,
    peerLabel(ids::peerLabel2, peerPlaceholder, 112),
    portEdit2,
    peerLabel(ids::peerLabel3, peerPlaceholder, 127),
    portEdit3,
    peerLabel4,
    portEdit4,
    {ui::idNone, Kind::EtchedLine, ui::styleNone, "", 5, 225, 249, 1},
    {ui::idNone, Kind::GroupBox, ui::styleNone, "DO", 85, 247, 170, 83},
    {ids::outputNameEdit1, Kind::Edit, editStyle, "", 90, 257, 85, 15},
    {ids::outputLamp1, Kind::Static, lampStyle, "", 230, 257, 16, 15},
    {ui::idNone, Kind::EtchedLine, ui::styleNone, "", 90, 277, 152, 1},
    {ids::outputNameEdit2, Kind::Edit, editStyle, "", 90, 283, 85, 15},
    {ids::outputLamp1 + 1, Kind::Static, lampStyle, "", 230, 283, 16, 15},
    {ui::idNone, Kind::EtchedLine, ui::styleNone, "", 90, 303, 152, 1},
    {ids::outputNameEdit3, Kind::Edit, editStyle, "", 90, 307, 85, 15},
    {ids::outputLamp1 + 2, Kind::Static, lampStyle, "", 230, 307, 16, 15},
    {ids::outputButton1, Kind::PushButton, ui::styleTabStop, "ON/OFF", 180, 257, 45, 14},
    {ids::outputButton2, Kind::PushButton, ui::styleTabStop, "ON/OFF", 180, 284, 45, 14},
    {ids::outputButton3, Kind::PushButton, ui::styleTabStop, "ON/OFF", 180, 308, 45, 14},
    {ui::idNone, Kind::Static, ui::styleNone, "接続先ポート番号:", 5, 232, 75, 8},
    {ids::destPortEdit, Kind::Edit, editStyle, "", 85, 230, 40, 14},
    {ui::idNone, Kind::EtchedLine, ui::styleNone, "", 5, 335, 246, 1},
    historyButton,
};

constexpr ui::DialogLayout layout{ids::mainDialog, productName,      263,        402,
                                  dialogFont,      dialogFontPoints, frameStyle, controls};

}  // namespace

const ui::DialogLayout& mainDialogLayout() {
    return layout;
}

}  // namespace variant

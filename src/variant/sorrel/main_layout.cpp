// Sorrel's main window (template 102): five inputs and no outputs.
#include "variant_constants.h"
#include "window/main_layout_rows.h"

namespace variant {
namespace {

using namespace main_layout;
using ui::Kind;

constexpr int logTop = 221;
constexpr char peerHeading[] = "接続元IPアドレス";

constexpr ui::ControlLayout controls[] = {
    loadSettingsButton,
    saveSettingsButton,
    titleBarButton,
    peerLabel(ids::peerLabel1, peerHeading, 97),
    portHeading,
    portEdit1,
    {ids::serverButton, Kind::PushButton, ui::styleTabStop, serverButtonPlaceholder, 5, 160, 120,
     20},
    {ids::statusLabel, Kind::Static,
     ui::styleBorder | ui::styleAlignCenter | ui::styleCenterVertical, "Static", 10, 190, 110, 25},
    {ui::idNone, Kind::GroupBox, ui::styleNone, "DI", 135, 81, 120, 135},
    inputName1,
    inputLamp1,
    inputSeparator1,
    inputName2,
    inputLamp2,
    inputSeparator2,
    inputName3,
    inputLamp3,
    {ui::idNone, Kind::EtchedLine, ui::styleNone, "", 140, 161, 105, 1},
    {ids::inputNameEdit1 + 3, Kind::Edit, editStyle, "", 140, 167, 85, 15},
    {ids::inputLamp1 + 3, Kind::Static, lampStyle, "", 230, 167, 16, 15},
    {ui::idNone, Kind::EtchedLine, ui::styleNone, "", 140, 187, 105, 1},
    {ids::inputNameEdit1 + 4, Kind::Edit, editStyle, "", 140, 191, 85, 15},
    {ids::inputLamp1 + 4, Kind::Static, lampStyle, "", 230, 191, 16, 15},
    loggingCheck(logTop),
    logFileHeading(logTop),
    logFileEdit(logTop),
    browseLogButton(logTop),
    versionLabel(logTop),
    {ids::traceEdit, Kind::Edit,
     ui::styleMultiline | ui::styleBorder | ui::styleVScroll | ui::styleAutoVScroll |
         ui::styleReadOnly | ui::styleTabStop,
     "", 170, 25, 85, 15},
    topSeparator,
    adapterCombo,
    adapterHeading,
    peerLabel(ids::peerLabel2, peerHeading, 112),
    portEdit2,
    peerLabel(ids::peerLabel3, peerHeading, 127),
    portEdit3,
    peerLabel4,
    portEdit4,
    historyButton,
};

constexpr ui::DialogLayout layout{ids::mainDialog, productName,      263,        282,
                                  dialogFont,      dialogFontPoints, frameStyle, controls};

}  // namespace

const ui::DialogLayout& mainDialogLayout() {
    return layout;
}

}  // namespace variant

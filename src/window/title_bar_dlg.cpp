#include "window/title_bar_dlg.h"

#include "variant_constants.h"
#include "window/control_ids.h"

namespace {

constexpr ui::ControlLayout controls[] = {
    {ui::idOk, ui::Kind::DefPushButton, ui::styleTabStop, "OK", 75, 30, 50, 14},
    {ui::idCancel, ui::Kind::PushButton, ui::styleTabStop, "ｷｬﾝｾﾙ", 130, 30, 50, 14},
    {ids::titleEdit, ui::Kind::Edit, ui::styleTabStop | ui::styleBorder | ui::styleAutoHScroll, "",
     5, 10, 175, 14},
};

constexpr ui::DialogLayout titleBarLayout{ids::titleBarDialog,
                                          "タイトルバーの変更",
                                          187,
                                          50,
                                          "ＭＳ Ｐゴシック",
                                          9,
                                          ui::frameCaption | ui::frameSysMenu | ui::frameModal,
                                          controls};

// Kelvane limits the caption after the text is in the field, so that a
// longer caption from a settings file is still shown whole.
constexpr int kelvaneTitleLimit = 50;

}  // namespace

const ui::DialogLayout& titleBarDialogLayout() {
    return titleBarLayout;
}

CTitleBarDlg::CTitleBarDlg(ui::Dialog* owner)
    : ui::Dialog(titleBarLayout, owner), titleEdit(this, ids::titleEdit) {}

bool CTitleBarDlg::OnInitDialog() {
    titleEdit.setText(text);
    if constexpr (variant::product == variant::Product::Kelvane) {
        titleEdit.limitText(kelvaneTitleLimit);
    }
    return true;
}

void CTitleBarDlg::OnOK() {
    text = titleEdit.text();
    EndDialog(ui::idOk);
}

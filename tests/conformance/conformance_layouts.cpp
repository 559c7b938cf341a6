#include "conformance_layouts.h"

namespace conformance {

namespace {

using ui::Kind;
constexpr std::uint32_t editStyles = ui::styleTabStop | ui::styleBorder | ui::styleAutoHScroll;

constexpr ui::ControlLayout formControls[] = {
    {nameLabel, Kind::Static, ui::styleNone, "名前(&N)", 7, 9, 40, 8},
    {nameEdit, Kind::Edit, editStyles, "", 50, 7, 100, 12},
    {digitsEdit, Kind::Edit, editStyles | ui::styleDigitsOnly, "", 50, 23, 40, 12},
    {readOnlyEdit, Kind::Edit, ui::styleBorder | ui::styleReadOnly, "読み取り専用", 95, 23, 55, 12},
    {disabledEdit, Kind::Edit, editStyles, "", 155, 23, 40, 12},
    {limitedEdit, Kind::Edit, editStyles, "", 155, 7, 40, 12},
    {recordCheck, Kind::AutoCheckBox, ui::styleTabStop, "記録(&R)", 7, 40, 60, 10},
    {pressButton, Kind::PushButton, ui::styleTabStop, "押す(&P)", 70, 38, 50, 14},
    {choiceList, Kind::DropDownList, ui::styleTabStop | ui::styleVScroll, "", 125, 39, 70, 60},
    {diagram, Kind::Surface, ui::styleNone, "", 7, 56, 188, 40},
    {ui::idOk, Kind::DefPushButton, ui::styleTabStop, "OK", 90, 102, 50, 14},
    {ui::idCancel, Kind::PushButton, ui::styleTabStop, "キャンセル", 145, 102, 50, 14},
};

constexpr ui::ControlLayout innerControls[] = {
    {ui::idOk, Kind::DefPushButton, ui::styleTabStop, "OK", 25, 30, 50, 14},
};

constexpr ui::ControlLayout childControls[] = {
    {ui::idCancel, Kind::PushButton, ui::styleTabStop, "閉じる", 25, 30, 50, 14},
};

constexpr std::uint32_t modalFrame =
    ui::frameVisible | ui::frameCaption | ui::frameSysMenu | ui::frameModal;

constexpr ui::DialogLayout form{formTemplate,      "適合試験", 202,        122,
                                "ＭＳ Ｐゴシック", 9,          modalFrame, formControls};
constexpr ui::DialogLayout inner{innerTemplate, "内側の試験", 100, 50, "ＭＳ Ｐゴシック", 9,
                                 modalFrame,    innerControls};
constexpr ui::DialogLayout child{childTemplate,
                                 "横の試験",
                                 100,
                                 50,
                                 "ＭＳ Ｐゴシック",
                                 9,
                                 ui::frameVisible | ui::frameCaption | ui::frameSysMenu,
                                 childControls};
constexpr const ui::DialogLayout* layouts[] = {&form, &inner, &child};

}  // namespace

const ui::DialogLayout& formLayout() {
    return form;
}
const ui::DialogLayout& innerLayout() {
    return inner;
}
const ui::DialogLayout& childLayout() {
    return child;
}
std::span<const ui::DialogLayout* const> allLayouts() {
    return layouts;
}

}  // namespace conformance

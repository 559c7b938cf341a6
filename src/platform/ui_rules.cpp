#include "platform/ui_rules.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace ui::rules {

namespace {

int clampInto(int start, int length, int areaStart, int areaLength) {
    return std::max(areaStart, std::min(start, areaStart + areaLength - length));
}

bool isTabStop(const ControlLayout& control) {
    return control.id != idNone && (control.styles & styleTabStop) != 0;
}

std::vector<int> reachableTabStops(const DialogLayout& layout, const Reachable& reachable) {
    std::vector<int> ids;
    for (const ControlLayout& control : layout.controls) {
        if (isTabStop(control) && reachable(control)) ids.push_back(control.id);
    }
    return ids;
}

bool isButton(Kind kind) {
    return kind == Kind::PushButton || kind == Kind::DefPushButton || kind == Kind::AutoCheckBox;
}

}  // namespace

Rect placeByOwner(const Rect& ownerFrame, Size frameSize, const Rect& workArea, bool modeless) {
    int x =
        modeless ? ownerFrame.x + ownerFrame.cx : ownerFrame.x + (ownerFrame.cx - frameSize.cx) / 2;
    int y = modeless ? ownerFrame.y : ownerFrame.y + (ownerFrame.cy - frameSize.cy) / 2;
    x = clampInto(x, frameSize.cx, workArea.x, workArea.cx);
    y = clampInto(y, frameSize.cy, workArea.y, workArea.cy);
    return {x, y, frameSize.cx, frameSize.cy};
}

int firstTabStop(const DialogLayout& layout, const Reachable& reachable) {
    const std::vector<int> stops = reachableTabStops(layout, reachable);
    return stops.empty() ? idNone : stops.front();
}

int nextTabStop(const DialogLayout& layout, int from, bool forward, const Reachable& reachable) {
    const std::vector<int> stops = reachableTabStops(layout, reachable);
    if (stops.empty()) return idNone;
    const auto at = std::find(stops.begin(), stops.end(), from);
    if (at == stops.end()) return forward ? stops.front() : stops.back();
    const auto index = static_cast<std::size_t>(at - stops.begin());
    const std::size_t count = stops.size();
    return stops[forward ? (index + 1) % count : (index + count - 1) % count];
}

std::optional<char> accessKeyOf(const char* textUtf8) {
    if (textUtf8 == nullptr) return std::nullopt;
    for (const char* at = textUtf8; *at != '\0'; ++at) {
        if (*at != '&') continue;
        ++at;
        if (*at == '&') continue;
        if (*at == '\0') return std::nullopt;
        const auto c = static_cast<unsigned char>(*at);
        if (c < 0x80 && std::isalnum(c) != 0) return static_cast<char>(std::toupper(c));
        return std::nullopt;
    }
    return std::nullopt;
}

int accessKeyTarget(const DialogLayout& layout, char key, const Reachable& reachable) {
    const auto& controls = layout.controls;
    for (std::size_t i = 0; i < controls.size(); ++i) {
        if (accessKeyOf(controls[i].text) != key) continue;
        if (isButton(controls[i].kind)) return reachable(controls[i]) ? controls[i].id : idNone;
        for (std::size_t j = i + 1; j < controls.size(); ++j) {
            if (isTabStop(controls[j]) && reachable(controls[j])) return controls[j].id;
        }
    }
    return idNone;
}

CtlKind colourKindOf(Kind kind, std::uint32_t styles, bool enabled) {
    switch (kind) {
        case Kind::PushButton:
        case Kind::DefPushButton:
            return CtlKind::Button;
        case Kind::Edit:
            return (styles & styleReadOnly) != 0 || !enabled ? CtlKind::Static : CtlKind::Edit;
        case Kind::DropDownList:
            return CtlKind::ListBox;
        case Kind::AutoCheckBox:
        case Kind::GroupBox:
        case Kind::Static:
        case Kind::EtchedLine:
            return CtlKind::Static;
        case Kind::Surface:
        case Kind::HScrollBar:
            return CtlKind::Other;
    }
    return CtlKind::Other;
}

int lastScrollPos(int max, int page) {
    return std::max(0, max - page);
}

int scrollPosWithin(int max, int page, int pos) {
    return std::clamp(pos, 0, lastScrollPos(max, page));
}

int scrollLineStep(int page) {
    return std::max(1, page / 10);
}

}  // namespace ui::rules

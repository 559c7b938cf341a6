// Rules of the platform's dialog manager that every ui backend follows,
// written once as pure code: where a dialog opens, which control takes the
// focus, which colour request a control gets, how a scroll bar counts and
// which key a control's access key is.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "platform/ui.h"

namespace ui::rules {

// Where a window of frameSize opens by its owner's frame, inside the work
// area of the owner's screen: a modal dialog centred over the owner, a
// modeless one beside it (frame to frame, tops level) so that both are
// seen at once. Where it does not fit, it is moved in, its top left first.
Rect placeByOwner(const Rect& ownerFrame, Size frameSize, const Rect& workArea, bool modeless);

// Whether a control of the layout is enabled and visible now.
using Reachable = std::function<bool(const ControlLayout&)>;

// The control the dialog manager focuses when initialisation leaves it the
// choice: the first reachable tab stop in template order; idNone if none.
int firstTabStop(const DialogLayout& layout, const Reachable& reachable);
// Tab (forward) or Shift+Tab from the control with id from, round the
// template's reachable tab stops; from itself when it is the only one, the
// first (or last) when from is none of them.
int nextTabStop(const DialogLayout& layout, int from, bool forward, const Reachable& reachable);

// The upper-case key of the access key a control's text marks with '&'
// ("&&" is a plain '&'); nothing when it marks none. ASCII letters and digits only.
std::optional<char> accessKeyOf(const char* textUtf8);
// The control an access key acts on: a button or check box with that key
// itself; a static's or group box's goes to the next reachable tab stop
// after it. idNone when no control has the key.
int accessKeyTarget(const DialogLayout& layout, char key, const Reachable& reachable);

// The colour request a control of this kind gets: read-only and disabled
// edits paint as statics, as the platform's edit does.
CtlKind colourKindOf(Kind kind, std::uint32_t styles, bool enabled);

// A scroll bar's positions run from 0 to max - page (the last position
// shows the last page whole); a line is a tenth of a page, at least 1.
int lastScrollPos(int max, int page);
int scrollPosWithin(int max, int page, int pos);
int scrollLineStep(int page);

}  // namespace ui::rules

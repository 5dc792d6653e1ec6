// What a hosted control's events are delivered to: the object, usually the control's parent
// window, that says what each event of each of its controls does.
#pragma once

#include <windows.h>
#include <oaidl.h>

namespace kelvo {

class ControlEventTarget {
public:
    // An event of the control with the id controlId, by its DISPID; its arguments arrive last to
    // first in params, as IDispatch::Invoke has them.
    virtual void OnControlEvent(UINT controlId, DISPID dispid, DISPPARAMS* params) = 0;

protected:
    ControlEventTarget() = default;
    ControlEventTarget(const ControlEventTarget&) = default;
    ControlEventTarget& operator=(const ControlEventTarget&) = default;
    // Never deleted through this interface.
    ~ControlEventTarget() = default;
};

} // namespace kelvo

#pragma once

#include <cstddef>

// Process-wide publish/subscribe of interface events, on the interface thread only. Observers
// register by construction and leave by destruction; raisers build an event on their stack and
// hand it to DispatchUIEvent.

// Base of every event. Each event class answers its own type number, drawn once per process from
// a shared counter (numbers are compared within one run, never stored).
class CUIEventParam {
 public:
  CUIEventParam() = default;
  virtual ~CUIEventParam() = default;
  virtual int GetEventType() const = 0;

 protected:
  // The counter's current value, then increments it.
  static int NextEventType();
};

// Declares the type number of an event class: StaticType() takes a number on first use.
#define LUMORA_UI_EVENT_TYPE(Class)          \
 public:                                     \
  static int StaticType() {                  \
    static const int type = NextEventType(); \
    return type;                             \
  }                                          \
  int GetEventType() const override { return StaticType(); }

class CUIEventObserver {
 public:
  CUIEventObserver();
  virtual ~CUIEventObserver();
  CUIEventObserver(const CUIEventObserver&) = delete;
  CUIEventObserver& operator=(const CUIEventObserver&) = delete;

  // The event lives on the raiser's stack; do not keep the pointer.
  virtual void OnUIEvent(const CUIEventParam* event) = 0;

  // Number of registered observers (0 when the set does not exist).
  static size_t ObserverCount();
};

// Calls OnUIEvent on every registered observer (address order), synchronously. An observer
// destroyed by an earlier one during the dispatch is skipped.
void DispatchUIEvent(const CUIEventParam* event);

// The folder image list of the shown image has been collected.
class CUIEventFolderImageCollected : public CUIEventParam {
  LUMORA_UI_EVENT_TYPE(CUIEventFolderImageCollected)
};

// The image view rebuilt its content for a new current image.
class CUIEventViewImageChanged : public CUIEventParam {
  LUMORA_UI_EVENT_TYPE(CUIEventViewImageChanged)
};

// The view renderer's zoom changed.
class CUIEventViewZoomChanged : public CUIEventParam {
  LUMORA_UI_EVENT_TYPE(CUIEventViewZoomChanged)

 public:
  CUIEventViewZoomChanged(float zoom_ratio, float fit_ratio)
      : zoom(zoom_ratio), fitZoom(fit_ratio) {}
  float zoom;     // the new zoom factor
  float fitZoom;  // the factor at which the whole image fits the view
};

#include "widget_window/widget_items.h"

namespace widget_window {

void CWidgetItemImage::Draw(HDC dc) {
  if (!image_.IsValid()) return;
  image_.Draw(dc, 0, 0, Width(), Height());
}

int CWidgetItemBitmapButton::CurrentCell() const {
  if (HasState(kStatePressed)) return 2;
  if (HasState(kStateHot)) return 1;
  return 0;
}

void CWidgetItemBitmapButton::Draw(HDC dc) {
  const int cell = CellWidth();
  if (!image_.IsValid() || cell <= 0) return;
  const RECT source = {CurrentCell() * cell, 0, CurrentCell() * cell + cell, image_.Height()};
  image_.Draw(dc, 0, 0, cell, image_.Height(), &source);
}

}  // namespace widget_window

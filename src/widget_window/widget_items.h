#pragma once

#include <windows.h>

#include "image/obj_image.h"
#include "widget_window/widget_window.h"

namespace widget_window {

// One picture stretched over the whole item.
class CWidgetItemImage : public CWidgetItem {
 public:
  explicit CWidgetItemImage(int item_id) : CWidgetItem(item_id) {}
  void Draw(HDC dc) override;
  FCObjImage& Image() { return image_; }
  const FCObjImage& Image() const { return image_; }

 private:
  FCObjImage image_;
};

// Three cells of equal width side by side (normal, hot, pressed), drawn at natural size.
class CWidgetItemBitmapButton : public CWidgetItem {
 public:
  explicit CWidgetItemBitmapButton(int item_id) : CWidgetItem(item_id) {}
  void Draw(HDC dc) override;
  FCObjImage& Image() { return image_; }
  const FCObjImage& Image() const { return image_; }
  int CellWidth() const { return image_.Width() / 3; }
  // 2 pressed, else 1 hot, else 0.
  int CurrentCell() const;

 private:
  FCObjImage image_;
};

}  // namespace widget_window

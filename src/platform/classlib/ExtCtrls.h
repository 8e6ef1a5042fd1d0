#pragma once
// The timer component: OnTimer every Interval milliseconds of the layer's clock while Enabled.
// Panels, shapes and paint boxes, drawn by the class library itself.

#include "platform/classlib/Component.h"
#include "platform/classlib/Controls.h"
#include "platform/classlib/StdCtrls.h"
#include "platform/user/User.h"

namespace pf {

class TTimer : public TComponent {
  PF_CLASS(TTimer)
public:
  bool GetEnabled() const { return FEnabled; }
  void SetEnabled(bool v);
  Cardinal GetInterval() const { return FInterval; }
  void SetInterval(Cardinal ms);
  // Runs every Interval while Enabled; an empty handler makes the ticks do nothing.
  TNotifyEvent OnTimer;

protected:
  void Create(TComponent* owner) override;
  void Destroy() override;

private:
  void UpdateTimer();
  bool FEnabled{true};
  Cardinal FInterval{1000};
  UINT_PTR FId{0};
};

// Draws the raised or lowered frame of a bevel: `width` lines of `topColor` on the left and top,
// of `bottomColor` on the right and bottom; `r` comes back inside the frame.
void Frame3D(TCanvas* canvas, TRect& r, TColor topColor, TColor bottomColor, Integer width);

// A container with bevels drawn in its client area (outer first, then inner, each BevelWidth
// wide) and an optional caption; BevelKind bevels of the non-client area work as on every
// windowed control.
class TCustomPanel : public TCustomControl {
  PF_CLASS(TCustomPanel)
public:
  TAlignment GetAlignment() const { return FAlignment; }
  void SetAlignment(TAlignment a);
  TBorderStyle GetBorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle s);
  // The rectangle inside the bevels, where children and the caption go.
  TRect InnerRect() const;

protected:
  void Create(TComponent* owner) override;
  void CreateParams(TCreateParams& params) override;
  void Dispatch(TMessage& msg) override;
  void Paint() override;
  void TextChanged() override;

  TAlignment FAlignment{TAlignment::taCenter};
  TBorderStyle FBorderStyle{TBorderStyle::bsNone};
};

class TPanel : public TCustomPanel {
  PF_CLASS(TPanel)
};

enum class TShapeType { stRectangle, stSquare, stRoundRect, stRoundSquare, stEllipse, stCircle };

// A figure drawn with its pen and brush; a clear brush shows what lies under it.
class TShape : public TGraphicControl {
  PF_CLASS(TShape)
public:
  TShapeType GetShape() const { return FShape; }
  void SetShape(TShapeType s);
  TPen* GetPen() const { return FPen; }
  void SetPen(const TPen* pen) { FPen->Assign(*pen); }
  TBrush* GetBrush() const { return FBrush; }
  void SetBrush(const TBrush* brush) { FBrush->Assign(*brush); }
  // The figure's bounding rectangle in the control, as Paint draws it.
  TRect FigureRect() const;

protected:
  void Create(TComponent* owner) override;
  void Destroy() override;
  void Paint() override;

private:
  TShapeType FShape{TShapeType::stRectangle};
  TPen* FPen{nullptr};
  TBrush* FBrush{nullptr};
};

// A windowless area the program paints in OnPaint, on the paint box's canvas.
class TPaintBox : public TGraphicControl {
  PF_CLASS(TPaintBox)
public:
  TNotifyEvent OnPaint;

protected:
  void Create(TComponent* owner) override;
  void Paint() override;
};

}  // namespace pf

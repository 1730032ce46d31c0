#include "secplot/recording_canvas.h"

namespace secplot {

void RecordingCanvas::ClearPage(Colour background) {
  ops_.clear();
  ++clears_;
  DrawOp op;
  op.kind = DrawOp::Clear;
  op.colour = background;
  ops_.push_back(op);
}

void RecordingCanvas::SetWorld(double left, double top, double right, double bottom) {
  DrawOp op;
  op.kind = DrawOp::World;
  op.x1 = left;
  op.y1 = top;
  op.x2 = right;
  op.y2 = bottom;
  ops_.push_back(op);
}

void RecordingCanvas::Pixel(double x, double y, Colour colour) {
  DrawOp op;
  op.kind = DrawOp::Pixel;
  op.x1 = op.x2 = x;
  op.y1 = op.y2 = y;
  op.colour = colour;
  ops_.push_back(op);
}

void RecordingCanvas::Line(double x1, double y1, double x2, double y2, Colour colour, int style) {
  DrawOp op;
  op.kind = DrawOp::Line;
  op.x1 = x1;
  op.y1 = y1;
  op.x2 = x2;
  op.y2 = y2;
  op.colour = colour;
  op.style = style;
  ops_.push_back(op);
}

void RecordingCanvas::Label(double x, double y, const std::string& text, const LabelFont& font,
                            Colour foreground, Colour background) {
  DrawOp op;
  op.kind = DrawOp::Label;
  op.x1 = op.x2 = x;
  op.y1 = op.y2 = y;
  op.text = text;
  op.font = font;
  op.colour = foreground;
  op.background = background;
  ops_.push_back(op);
}

std::vector<DrawOp> RecordingCanvas::OfKind(DrawOp::Kind kind) const {
  std::vector<DrawOp> out;
  for (const DrawOp& op : ops_)
    if (op.kind == kind) out.push_back(op);
  return out;
}

std::vector<DrawOp> RecordingCanvas::OfKind(DrawOp::Kind kind, Colour colour) const {
  std::vector<DrawOp> out;
  for (const DrawOp& op : ops_)
    if (op.kind == kind && op.colour == colour) out.push_back(op);
  return out;
}

}  // namespace secplot

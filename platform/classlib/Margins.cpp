#include "platform/classlib/Controls.h"

// ---------------------------------------------------------------- TMargins

TMargins::TMargins(QObject* parent, int initial)
    : TPersistent(parent), left_(initial), top_(initial), right_(initial), bottom_(initial) {}

void TMargins::Assign(TPersistent* source) {
  if (auto* m = qobject_cast<TMargins*>(source)) {
    SetBounds(m->left_, m->top_, m->right_, m->bottom_);
    return;
  }
  TPersistent::Assign(source);
}

void TMargins::SetBounds(int left, int top, int right, int bottom) {
  if (left == left_ && top == top_ && right == right_ && bottom == bottom_) return;
  left_ = left;
  top_ = top;
  right_ = right;
  bottom_ = bottom;
  if (OnChange) OnChange(this);
}

void TMargins::Set(int& field, int value) {
  if (field == value) return;
  field = value;
  if (OnChange) OnChange(this);
}

// ---------------------------------------------------------------- TSizeConstraints

void TSizeConstraints::Assign(TPersistent* source) {
  if (auto* c = qobject_cast<TSizeConstraints*>(source)) {
    maxHeight_ = c->maxHeight_;
    maxWidth_ = c->maxWidth_;
    minHeight_ = c->minHeight_;
    minWidth_ = c->minWidth_;
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

void TSizeConstraints::SetMaxHeight(int v) {
  if (v == maxHeight_) return;
  maxHeight_ = std::max(v, 0);
  if (maxHeight_ > 0 && maxHeight_ < minHeight_) minHeight_ = maxHeight_;
  Changed();
}

void TSizeConstraints::SetMaxWidth(int v) {
  if (v == maxWidth_) return;
  maxWidth_ = std::max(v, 0);
  if (maxWidth_ > 0 && maxWidth_ < minWidth_) minWidth_ = maxWidth_;
  Changed();
}

void TSizeConstraints::SetMinHeight(int v) {
  if (v == minHeight_) return;
  minHeight_ = std::max(v, 0);
  if (maxHeight_ > 0 && minHeight_ > maxHeight_) maxHeight_ = minHeight_;
  Changed();
}

void TSizeConstraints::SetMinWidth(int v) {
  if (v == minWidth_) return;
  minWidth_ = std::max(v, 0);
  if (maxWidth_ > 0 && minWidth_ > maxWidth_) maxWidth_ = minWidth_;
  Changed();
}

void TSizeConstraints::Apply(int& width, int& height) const {
  if (minWidth_ > 0 && width < minWidth_) width = minWidth_;
  if (maxWidth_ > 0 && width > maxWidth_) width = maxWidth_;
  if (minHeight_ > 0 && height < minHeight_) height = minHeight_;
  if (maxHeight_ > 0 && height > maxHeight_) height = maxHeight_;
}

void TSizeConstraints::Changed() {
  if (OnChange) OnChange(this);
}

#pragma once
// A list of small pictures of one size (16 x 16 by default), each with its
// transparency, drawn by index. A list may share the pictures of another
// (its Handle): it then shows that list's pictures, also those added later.
#include "platform/classlib/Components.h"
#include "platform/classlib/Graphics.h"

#include <QPointer>

// The handle of an image list is the TImageList itself.
struct _IMAGELIST;
using HIMAGELIST = _IMAGELIST*;

class TImageList : public TComponent {
  Q_OBJECT
  Q_PROPERTY(int Height READ GetHeight WRITE SetHeight)
  Q_PROPERTY(int Width READ GetWidth WRITE SetWidth)
  Q_PROPERTY(bool ShareImages READ ShareImages WRITE SetShareImages)
  Q_PROPERTY(TDrawingStyle DrawingStyle READ DrawingStyle WRITE SetDrawingStyle)

 public:
  enum TDrawingStyle { dsFocus, dsSelected, dsNormal, dsTransparent };
  Q_ENUM(TDrawingStyle)

  explicit TImageList(TComponent* AOwner);
  void Assign(TPersistent* source) override;

  int GetWidth() const { return source_ ? source_->GetWidth() : width_; }
  int GetHeight() const { return source_ ? source_->GetHeight() : height_; }
  // Changing the size empties the list.
  void SetWidth(int value);
  void SetHeight(int value);
  int Count() const { return int(images().size()); }

  // The list's handle; setting another list's handle shares its pictures
  // (null: the list's own pictures again); changes made through a sharing
  // list go to the shared one. Pictures are never freed through a shared
  // handle, whatever ShareImages says.
  HIMAGELIST Handle() const { return reinterpret_cast<HIMAGELIST>(const_cast<TImageList*>(this)); }
  void SetHandle(HIMAGELIST value);
  bool ShareImages() const { return shareImages_; }
  void SetShareImages(bool value) { shareImages_ = value; }
  TDrawingStyle DrawingStyle() const { return drawingStyle_; }
  void SetDrawingStyle(TDrawingStyle value) { drawingStyle_ = value; }

  // Adds the bitmap cut into pictures of the list's width (a narrower bitmap
  // makes one picture); `mask` (optional, same layout) is white where the
  // pictures are transparent. Answers the index of the first picture added,
  // -1 when nothing was added.
  int Add(TBitmap* image, TBitmap* mask);
  // As Add, transparent where the bitmap has `maskColor` (clDefault: the
  // colour of its bottom-left pixel).
  int AddMasked(TBitmap* image, TColor maskColor);
  // The icon at the list's size.
  int AddIcon(TIcon* icon);
  // Index -1 deletes every picture; any other index out of range raises
  // EInvalidOperation.
  void Delete(int index);
  void Clear();

  // Draws picture `index` with its top-left corner at (x, y); nothing when
  // the index is out of range.
  void Draw(TCanvas* canvas, int x, int y, int index);
  // Sizes the bitmap (pf32bit, keeping the transparency) / icon to the list
  // and puts the picture in it; false when the index is out of range.
  bool GetBitmap(int index, TBitmap* image) const;
  bool GetIcon(int index, TIcon* icon) const;
  // The picture itself (straight alpha); a null image out of range.
  QImage GetImage(int index) const;

  TNotifyEvent OnChange;

 protected:
  virtual void Changed();

 private:
  int AddStrip(const QImage& strip, const QImage& mask, bool useMask, TColor maskColor);
  void SetSize(int width, int height);
  const std::vector<QImage>& images() const { return source_ ? source_->images() : images_; }

  std::vector<QImage> images_;
  QPointer<TImageList> source_;
  bool shareImages_ = false;
  TDrawingStyle drawingStyle_ = dsNormal;
  int width_ = 16;
  int height_ = 16;
};

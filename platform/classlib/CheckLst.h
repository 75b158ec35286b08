#pragma once
// A list box whose items carry check boxes.
//
// Check marks set in code raise no event. The user toggles an item by
// pressing on its check box or with the space bar: that raises OnClickCheck,
// and OnClick as a click on the list does.
#include "platform/classlib/StdCtrls.h"

class TCheckListBox : public TCustomListBox {
  Q_OBJECT
  Q_PROPERTY(bool AllowGrayed READ AllowGrayed WRITE SetAllowGrayed)

 public:
  Q_INVOKABLE explicit TCheckListBox(TComponent* AOwner);

  // Whether the user's toggling passes through the grayed state (unchecked,
  // grayed, checked, unchecked; grayed always goes to checked).
  bool AllowGrayed() const { return allowGrayed_; }
  void SetAllowGrayed(bool value) { allowGrayed_ = value; }

  // Check marks by item; reading past the last item answers unchecked,
  // setting there raises EStringListError.
  bool Checked(int index) const { return State(index) == cbChecked; }
  void SetChecked(int index, bool value) { SetState(index, value ? cbChecked : cbUnchecked); }
  TCheckBoxState State(int index) const;
  void SetState(int index, TCheckBoxState value);
  // A disabled item is drawn grayed and cannot be selected or toggled.
  bool ItemEnabled(int index) const;
  void SetItemEnabled(int index, bool value);

  TNotifyEvent OnClickCheck;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void InitItem(QListWidgetItem* item) override;
  int ItemIndent() const override;
  void PaintItem(QPainter* painter, const QStyleOptionViewItem& option, int index) override;
  // Raises OnClickCheck.
  virtual void ClickCheck();

 private:
  // The user toggles item `index`: the next state, then OnClickCheck.
  void Toggle(int index);

  bool allowGrayed_ = false;
};

// Registers the check list with the form streaming. Idempotent.
void InitializeCheckLst();

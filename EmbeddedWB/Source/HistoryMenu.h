#pragma once
// A menu of the shell's History folder: its periods at the first level, each
// period and site opening lazily into its own sub-menu; choosing a page hands
// its address on and navigates the attached browser. The menu's item is put
// into a main menu at MenuPosition (nowhere without one).
#include "EmbeddedWB/Source/EmbeddedWB.h"
#include "EmbeddedWB/Source/EwbTools.h"
#include "EmbeddedWB/Source/ShellMenu.h"

namespace HistoryMenu {

class THistoryMenu : public TComponent {
  Q_OBJECT
  Q_PROPERTY(EmbeddedWB::TEmbeddedWB* EmbeddedWB READ EmbeddedWB WRITE SetEmbeddedWB)
  Q_PROPERTY(TMainMenu* MainMenu READ MainMenu WRITE SetMainMenu)
  Q_PROPERTY(int MenuPosition READ MenuPosition WRITE SetMenuPosition)
  Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)

 public:
  Q_INVOKABLE explicit THistoryMenu(TComponent* AOwner);
  ~THistoryMenu() override;

  ::EmbeddedWB::TEmbeddedWB* EmbeddedWB() const { return browser_; }
  void SetEmbeddedWB(::EmbeddedWB::TEmbeddedWB* value);
  TMainMenu* MainMenu() const { return mainMenu_; }
  void SetMainMenu(TMainMenu* value);
  int MenuPosition() const { return menuPosition_; }
  void SetMenuPosition(int value) { menuPosition_ = value; }
  const String& Caption() const { return caption_; }
  void SetCaption(const String& value) { caption_ = value; }

  // Builds the History item and its first level (once, by the owner).
  void CreateMenu();
  // The History item (null before CreateMenu).
  TMenuItem* Root() const { return root_; }

  // Receives the address of a chosen page (Sender = its menu item); the
  // browser is navigated as well.
  EwbTools::TOnUrlSelectedEvent OnURLSelected;

  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  void BuildFirstLevel();
  void ListFolder(TMenuItem* parent, ShellMenu::TMenuRec& record);
  void ItemClick(TObject* Sender);
  void Rebuild();

  ::EmbeddedWB::TEmbeddedWB* browser_ = nullptr;
  TMainMenu* mainMenu_ = nullptr;
  int menuPosition_ = 1;
  String caption_;
  ComPtr<IShellFolder> desktop_;
  LPITEMIDLIST history_ = nullptr;
  TMenuItem* root_ = nullptr;
  ShellMenu::TMenuRecords records_;
  TImageList* images_ = nullptr;
  // The folder of the level listed last (names and addresses come from it).
  ComPtr<IShellFolder> currentFolder_;
};

void initialize();
void finalize();

}  // namespace HistoryMenu

#pragma once
// A popup menu of the user's Favorites as a tree, headed by fixed commands:
// add the shown page, organize the Favorites, import and export a bookmark
// file (each with the bookmark component's defaults), and the browser's
// import/export wizard. Sub-folders are listed the first time they
// open; a chosen shortcut's address goes to OnURLSelected or to the browser.
#include "EmbeddedWB/Source/EmbeddedWB.h"
#include "EmbeddedWB/Source/EwbTools.h"
#include "EmbeddedWB/Source/ShellMenu.h"

namespace FavoritesPopup {
Q_NAMESPACE

enum TFavOptions {
  foAddFavorites,
  foOrganizeFavorites,
  foImportFavorites,
  foExportFavorites,
  foImportExportWizard
};
Q_ENUM_NS(TFavOptions)
using TOptions = TSet<TFavOptions>;

using TErrorEvent = std::function<void(int ErrorCode, const String& ErrMessage)>;
using TOnAddFavoritesEvent = std::function<void(EmbeddedWB::TEmbeddedWB* EmbeddedWB, const String& Title,
                                                const String& URL, int Success)>;

// The captions of the fixed items.
class TLocalization : public TPersistent {
  Q_OBJECT
  Q_PROPERTY(QString AddFavorites MEMBER AddFavorites)
  Q_PROPERTY(QString OrganizeFavorites MEMBER OrganizeFavorites)
  Q_PROPERTY(QString ImportFavorites MEMBER ImportFavorites)
  Q_PROPERTY(QString ExportFavorites MEMBER ExportFavorites)
  Q_PROPERTY(QString ImportExportWizard MEMBER ImportExportWizard)

 public:
  String AddFavorites = QStringLiteral("Add to Favorites");
  String OrganizeFavorites = QStringLiteral("Organize Favorites");
  String ImportFavorites = QStringLiteral("Import Favorites");
  String ExportFavorites = QStringLiteral("Export Favorites");
  String ImportExportWizard = QStringLiteral("Import Export Favorites Wizard");
};

class TFavoritesPopup : public TPopupMenu {
  Q_OBJECT
  Q_PROPERTY(QString About READ About WRITE SetAbout STORED false)
  Q_PROPERTY(bool Channels READ Channels WRITE SetChannels)
  Q_PROPERTY(EmbeddedWB::TEmbeddedWB* EmbeddedWB READ EmbeddedWB WRITE SetEmbeddedWB)
  Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
  Q_PROPERTY(FavoritesPopup::TLocalization* Localization READ Localization)
  Q_PROPERTY(int MaxWidth READ MaxWidth WRITE SetMaxWidth)
  Q_PROPERTY(FavoritesPopup::TOptions Options READ Options WRITE SetOptions)
  Q_PROPERTY(EwbTools::TResolveUrl ResolveUrl READ ResolveUrl WRITE SetResolveUrl)

 public:
  Q_INVOKABLE explicit TFavoritesPopup(TComponent* AOwner);
  ~TFavoritesPopup() override;

  String About() const;
  void SetAbout(const String&) {}
  bool Channels() const { return channels_; }
  void SetChannels(bool value) { channels_ = value; }
  ::EmbeddedWB::TEmbeddedWB* EmbeddedWB() const { return browser_; }
  void SetEmbeddedWB(::EmbeddedWB::TEmbeddedWB* value);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value) { enabled_ = value; }
  TLocalization* Localization() const { return localization_; }
  int MaxWidth() const { return maxWidth_; }
  void SetMaxWidth(int value) { maxWidth_ = value; }
  TOptions Options() const { return options_; }
  void SetOptions(TOptions value) { options_ = value; }
  EwbTools::TResolveUrl ResolveUrl() const { return resolveUrl_; }
  void SetResolveUrl(EwbTools::TResolveUrl value) { resolveUrl_ = value; }

  // The item the tree hangs under (null before the menu is built).
  TMenuItem* Root() const { return root_; }
  // Builds the whole menu under `root` (null: a new "Favorites" item).
  void BuildMenu(TMenuItem* root);
  // Frees the records and lists everything again.
  void Rebuild();

  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

  TOnAddFavoritesEvent OnAddFavorites;
  TErrorEvent OnError;
  EwbTools::TOnUrlSelectedEvent OnURLSelected;

 private:
  void AddFixedItems();
  void ListFolder(TMenuItem* parent, PCIDLIST_ABSOLUTE list);
  void ItemClick(TObject* Sender);
  void AddClick(TObject* Sender);
  void OrganizeClick(TObject* Sender);
  // Import, export and the wizard: each with a document in the browser.
  void ImportClick(TObject* Sender);
  void ExportClick(TObject* Sender);
  void WizardClick(TObject* Sender);
  bool DocumentStep();
  void Error(int code, const String& message);
  TMenuItem* FixedItem(const String& caption, void (TFavoritesPopup::*click)(TObject*));

  bool channels_ = false;
  ::EmbeddedWB::TEmbeddedWB* browser_ = nullptr;
  bool enabled_ = true;
  TLocalization* localization_;
  int maxWidth_ = 50;
  TOptions options_{foAddFavorites, foOrganizeFavorites};
  EwbTools::TResolveUrl resolveUrl_ = EwbTools::IntShCut;

  ComPtr<IShellFolder> desktop_;
  TMenuItem* root_ = nullptr;
  LPITEMIDLIST favorites_ = nullptr;
  String favoritesName_;
  TImageList* images_ = nullptr;
  ShellMenu::TMenuRecords records_;
  // The folder of the level listed last.
  ComPtr<IShellFolder> currentFolder_;
};

// The type names every popup of the process compares with.
String ChannelShortcutType();
String InternetShortcutType();

void initialize();
void finalize();

}  // namespace FavoritesPopup

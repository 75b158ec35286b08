// Downloads the host leaves to the browser and pages saved as files: the
// file-download dialog, the save dialog that asks where, the progress
// dialog with Cancel, and what lands on disk (only where the user chose).
#include "platform/shdocvw/DownloadDialog.h"

#include "platform/classlib/Dialogs.h"
#include "platform/shdocvw/WebBrowser.h"
#include "tests/platform/shdocvw/BrowserTestHost.h"
#include "tests/support/LoopbackServer.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFormLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#include <atomic>
#include <functional>
#include <string>

using namespace browsertest;
using testsupport::HttpRequest;
using testsupport::HttpResponse;

namespace {

std::string payload(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = char((i * 7 + i / 251) & 0xFF);
  return bytes;
}

// A loopback server with downloads of known and unknown length, one with a
// hostile file name, one that trickles, and a page to save.
class DownloadServer : public testsupport::LoopbackServer {
 public:
  static constexpr size_t kSize = 64 * 1024;

  DownloadServer() {
    get("/report.bin", [](const HttpRequest&, HttpResponse& res) {
      res.headers.emplace_back("Content-Disposition", "attachment; filename=\"report.bin\"");
      res.contentType = "application/octet-stream";
      res.body = payload(kSize);
    });
    get("/stream", [this](const HttpRequest&, HttpResponse& res) {
      res.headers.emplace_back("Content-Disposition", "attachment; filename=\"stream.dat\"");
      res.contentType = "application/octet-stream";
      res.stream = [this](const std::function<bool(const std::string&)>& write) {
        const std::string all = payload(kSize);
        for (size_t offset = 0; offset < all.size(); offset += 4096) {
          hold(40);
          if (!write(all.substr(offset, 4096))) return false;
        }
        return true;
      };
    });
    get("/hostile", [](const HttpRequest&, HttpResponse& res) {
      res.headers.emplace_back("Content-Disposition",
                               "attachment; filename*=UTF-8''..%2F..%2F.profile%01evil%E2%80%AEtxt.sh");
      res.contentType = "application/octet-stream";
      res.body = "echo owned";
    });
    get("/slow", [this](const HttpRequest&, HttpResponse& res) {
      res.headers.emplace_back("Content-Disposition", "attachment; filename=\"slow.bin\"");
      res.contentType = "application/octet-stream";
      res.announcedLength = kSize * 16;
      res.stream = [this](const std::function<bool(const std::string&)>& write) {
        const std::string chunk = payload(1024);
        for (size_t offset = 0; offset < kSize * 16; offset += chunk.size()) {
          if (hold(40)) return false;  // the server stops
          sent_ = offset + chunk.size();
          if (!write(chunk)) return false;
        }
        return true;
      };
    });
    page("/page",
         "<html><head><title>Quarterly: 1/2</title></head>"
         "<body><p id=\"content\">Saved words of the page</p></body></html>");
    start();
  }
  size_t sent() const { return sent_; }

 private:
  std::atomic<size_t> sent_{0};
};

// What one of the browser's dialogs showed: caption, labelled fields, and
// every text of its labels.
struct SeenDialog {
  HWND hwnd = nullptr;
  HWND owner = nullptr;
  String caption;
  std::map<String, String> fields;
  QStringList texts;
};

SeenDialog look(HWND h) {
  SeenDialog d;
  d.hwnd = h;
  d.owner = GetWindow(h, GW_OWNER);
  d.caption = GetWindowText(h);
  QWidget* w = WidgetOf(h);
  for (QFormLayout* form : w->findChildren<QFormLayout*>()) {
    for (int row = 0; row < form->rowCount(); ++row) {
      auto* label = form->itemAt(row, QFormLayout::LabelRole);
      auto* field = form->itemAt(row, QFormLayout::FieldRole);
      auto* l = label ? qobject_cast<QLabel*>(label->widget()) : nullptr;
      auto* f = field ? qobject_cast<QLabel*>(field->widget()) : nullptr;
      if (l && f) d.fields[l->text()] = f->text();
    }
  }
  for (QLabel* label : w->findChildren<QLabel*>()) d.texts << label->text();
  return d;
}

void press(HWND h, const QString& button) {
  for (QPushButton* b : WidgetOf(h)->findChildren<QPushButton*>())
    if (b->text().remove('&') == button) return b->click();
  ADD_FAILURE() << "no button " << button.toStdString();
}

// The next file-download dialog shown (one not among `known`).
HWND nextDialog(std::vector<HWND>& known, int timeoutMs = 10000) {
  HWND found = nullptr;
  testsupport::waitFor(
      [&] {
        for (HWND h = FindWindow(QStringLiteral("#32770")); h;
             h = FindWindowEx(nullptr, h, QStringLiteral("#32770")))
          if (WidgetOf(h) && WidgetOf(h)->isVisible() &&
              std::find(known.begin(), known.end(), h) == known.end())
            found = h;
        return found != nullptr;
      },
      timeoutMs);
  if (found) known.push_back(found);
  return found;
}

bool statusSays(HWND h, const QString& text) {
  return IsWindow(h) && look(h).texts.join('\n').contains(text);
}

QStringList filesIn(const QString& dir) {
  return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

class DownloadDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(browser->SetClientSite(site.Get()), S_OK);
    RECT rect{0, 0, 400, 300};
    ASSERT_EQ(browser->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site.Get(), 0, host.handle, &rect), S_OK);
    ASSERT_TRUE(target.isValid());
    staging = BrowserEngineProfile()->downloadPath();
    stagedBefore = filesIn(staging);
  }
  void TearDown() override {
    browser->SetClientSite(nullptr);
    browser->Close(OLECLOSE_NOSAVE);
  }
  void navigate(const QString& url) {
    OleVariant address(url);
    browser->Navigate2(&address, nullptr, nullptr, nullptr, nullptr);
  }
  bool showPage(const QString& url) {
    navigate(url);
    return testsupport::waitFor(
        [this] {
          READYSTATE state;
          VARIANT_BOOL busy;
          browser->get_ReadyState(&state);
          browser->get_Busy(&busy);
          return state == READYSTATE_COMPLETE && busy == VARIANT_FALSE;
        },
        10000);
  }
  // Whether the engine left anything of its own where it keeps arriving data.
  bool stagingUntouched() const { return filesIn(staging) == stagedBefore; }
  static void settle() {
    testsupport::waitFor([] { return false; }, 500);
  }

  HostWindow host;
  ComPtr<WebBrowserObject> browser = MakeCom<WebBrowserObject>();
  ComPtr<TestSite> site = MakeCom<TestSite>();
  TScriptedDialogService dialogs;
  DownloadServer server;
  QTemporaryDir target;
  QString staging;
  QStringList stagedBefore;
};

// ---------------------------------------------------------------- names and sizes

TEST(DownloadNames, ServerNamesBecomePlainNamesInTheChosenFolder) {
  EXPECT_EQ(SafeDownloadFileName("report.pdf"), "report.pdf");
  EXPECT_EQ(SafeDownloadFileName("../../etc/passwd"), "passwd");
  EXPECT_EQ(SafeDownloadFileName("..\\..\\boot.ini"), "boot.ini");
  EXPECT_EQ(SafeDownloadFileName("/"), "download");
  EXPECT_EQ(SafeDownloadFileName(".."), "download");
  EXPECT_EQ(SafeDownloadFileName(""), "download");
  EXPECT_EQ(SafeDownloadFileName(" . . "), "download");
  EXPECT_EQ(SafeDownloadFileName(".bashrc"), "bashrc");  // no hidden files
  EXPECT_EQ(SafeDownloadFileName("notes.txt. "), "notes.txt");
  EXPECT_EQ(SafeDownloadFileName(QString("a\tb\nc") + QChar(0x85) + "d" + QChar(0x7F)), "a_b_c_d_");
  EXPECT_EQ(SafeDownloadFileName(QString("photo") + QChar(0x202E) + "gpj.exe"), "photo_gpj.exe");
  EXPECT_EQ(SafeDownloadFileName("C:evil?.txt"), "C_evil_.txt");
  EXPECT_EQ(SafeDownloadFileName("Ünïcode résumé.pdf"), "Ünïcode résumé.pdf");
  // A title keeps its separators as "_" instead of losing what is before them.
  EXPECT_EQ(SafeTitleFileName("Quarterly: 1/2"), "Quarterly_ 1_2");

  // At most 255 bytes, the extension kept, no character cut in half.
  const String longName = String(300, QChar(0x00E9)) + ".pdf";
  const String shortened = SafeDownloadFileName(longName);
  EXPECT_LE(shortened.toUtf8().size(), 255);
  EXPECT_TRUE(shortened.endsWith(".pdf"));
  EXPECT_EQ(String::fromUtf8(shortened.toUtf8()), shortened);
  String faces = "x";
  for (int i = 0; i < 150; ++i) faces += QString::fromUtf8("\U0001F600");  // four bytes each
  const String cut = SafeDownloadFileName(faces);
  EXPECT_LE(cut.toUtf8().size(), 255);
  EXPECT_FALSE(cut.back().isHighSurrogate());
}

TEST(DownloadNames, SizesReadAsAPersonWould) {
  EXPECT_EQ(DownloadSizeText(-1), "Unknown");
  EXPECT_EQ(DownloadSizeText(0), "0 bytes");
  EXPECT_EQ(DownloadSizeText(1023), "1023 bytes");
  EXPECT_EQ(DownloadSizeText(1536), "1.5 KB");
  EXPECT_EQ(DownloadSizeText(64 * 1024), "64.0 KB");
  EXPECT_EQ(DownloadSizeText(5 * 1024 * 1024 + 300 * 1024), "5.3 MB");
  EXPECT_EQ(DownloadSizeText(3LL * 1024 * 1024 * 1024), "3.0 GB");
}

// ---------------------------------------------------------------- downloads

TEST_F(DownloadDialogTest, SaveAsksWhereAndWritesTheBytesThere) {
  ASSERT_TRUE(showPage(server.url("/page")));
  std::vector<HWND> known;
  navigate(server.url("/report.bin"));
  const HWND dialog = nextDialog(known);
  ASSERT_TRUE(dialog);
  // The size shows once the server has given it.
  ASSERT_TRUE(testsupport::waitFor([&] { return look(dialog).fields.at("Size:") == "64.0 KB"; }));
  const SeenDialog asked = look(dialog);
  EXPECT_EQ(asked.caption, "File Download");
  EXPECT_TRUE(asked.texts.contains("Do you want to save this file?"));
  EXPECT_EQ(asked.fields.at("Name:"), "report.bin");
  EXPECT_TRUE(asked.fields.at("From:").contains(server.url("/report.bin")))
      << asked.fields.at("From:").toStdString();
  EXPECT_EQ(asked.owner, host.handle);

  // The save dialog offers the server's name in a folder that exists.
  const QString saved = target.filePath("kept.bin");
  dialogs.QueueFile(saved);
  press(dialog, "Save");
  ASSERT_EQ(dialogs.CallsOf(TScriptedDialogService::dkSave).size(), 1u);
  const auto call = dialogs.CallsOf(TScriptedDialogService::dkSave)[0];
  EXPECT_EQ(call.FileName, "report.bin");
  EXPECT_TRUE(QDir(call.InitialDir).exists()) << call.InitialDir.toStdString();
  EXPECT_TRUE(call.Options.Contains(ofOverwritePrompt));

  EXPECT_EQ(look(dialog).fields.at("To:"), saved);
  ASSERT_TRUE(
      testsupport::waitFor([&] { return statusSays(dialog, "Download complete: 64.0 KB saved."); }, 10000));
  EXPECT_EQ(testsupport::readFile(saved), QByteArray::fromStdString(payload(DownloadServer::kSize)));
  EXPECT_EQ(filesIn(target.path()), QStringList{"kept.bin"});  // nothing beside it
  press(dialog, "Close");
  EXPECT_TRUE(testsupport::waitFor([&] { return !IsWindow(dialog); }));
  EXPECT_EQ(testsupport::readFile(saved).size(), qsizetype(DownloadServer::kSize));  // Close keeps it

  // Without a length the size stays unknown and the bytes arrive all the
  // same; an existing file the user agreed to replace is replaced. The save
  // dialog starts where the last file went.
  testsupport::writeFile(target.filePath("streamed.dat"), "older content");
  navigate(server.url("/stream"));
  const HWND second = nextDialog(known);
  ASSERT_TRUE(second);
  EXPECT_EQ(look(second).fields.at("Name:"), "stream.dat");
  dialogs.QueueFile(target.filePath("streamed.dat"));
  press(second, "Save");
  ASSERT_TRUE(testsupport::waitFor([&] { return statusSays(second, "KB copied"); }, 10000));
  EXPECT_EQ(look(second).fields.at("Size:"), "Unknown");
  EXPECT_FALSE(statusSays(second, " of "));
  EXPECT_EQ(QDir(dialogs.CallsOf(TScriptedDialogService::dkSave).back().InitialDir), QDir(target.path()));
  ASSERT_TRUE(testsupport::waitFor([&] { return statusSays(second, "Download complete"); }, 10000));
  EXPECT_EQ(testsupport::readFile(target.filePath("streamed.dat")),
            QByteArray::fromStdString(payload(DownloadServer::kSize)));
  EXPECT_TRUE(stagingUntouched());
}

TEST_F(DownloadDialogTest, ADeclinedDownloadWritesNothingAnywhere) {
  ASSERT_TRUE(showPage(server.url("/page")));
  // Cancel in the file-download dialog: no save dialog.
  std::vector<HWND> known;
  navigate(server.url("/report.bin"));
  const HWND first = nextDialog(known);
  ASSERT_TRUE(first);
  press(first, "Cancel");
  EXPECT_TRUE(testsupport::waitFor([&] { return !IsWindow(first); }));
  EXPECT_TRUE(dialogs.CallsOf(TScriptedDialogService::dkSave).empty());

  // Save, then Cancel in the save dialog (the scripted dialog's answer).
  navigate(server.url("/report.bin"));
  const HWND second = nextDialog(known);
  ASSERT_TRUE(second);
  press(second, "Save");
  EXPECT_EQ(dialogs.CallsOf(TScriptedDialogService::dkSave).size(), 1u);
  EXPECT_TRUE(testsupport::waitFor([&] { return !IsWindow(second); }));

  // A silent browser asks nobody and so saves nothing.
  browser->put_Silent(VARIANT_TRUE);
  navigate(server.url("/report.bin"));
  EXPECT_FALSE(nextDialog(known, 1500));

  settle();
  EXPECT_TRUE(filesIn(target.path()).isEmpty());
  EXPECT_TRUE(stagingUntouched()) << filesIn(staging).join(", ").toStdString();
}

TEST_F(DownloadDialogTest, AHostileServerNameIsOfferedAsASafeName) {
  ASSERT_TRUE(showPage(server.url("/page")));
  std::vector<HWND> known;
  navigate(server.url("/hostile"));
  const HWND dialog = nextDialog(known);
  ASSERT_TRUE(dialog);
  press(dialog, "Save");  // the scripted save dialog cancels
  ASSERT_EQ(dialogs.CallsOf(TScriptedDialogService::dkSave).size(), 1u);
  const String offered = dialogs.CallsOf(TScriptedDialogService::dkSave)[0].FileName;
  EXPECT_FALSE(offered.contains('/') || offered.contains('\\') || offered.startsWith('.'))
      << offered.toStdString();
  for (QChar c : offered)
    EXPECT_FALSE(c.unicode() < 0x20 || c.category() == QChar::Other_Format) << offered.toStdString();
  EXPECT_TRUE(offered.endsWith(".sh")) << offered.toStdString();
  settle();
  EXPECT_TRUE(stagingUntouched());
}

TEST_F(DownloadDialogTest, CancelDuringASlowTransferLeavesNoPartialFile) {
  ASSERT_TRUE(showPage(server.url("/page")));
  std::vector<HWND> known;
  navigate(server.url("/slow"));
  const HWND dialog = nextDialog(known);
  ASSERT_TRUE(dialog);
  EXPECT_EQ(look(dialog).fields.at("Name:"), "slow.bin");
  dialogs.QueueFile(target.filePath("slow.bin"));
  press(dialog, "Save");
  // Part of the file has arrived when Cancel is pressed.
  QProgressBar* bar = WidgetOf(dialog)->findChild<QProgressBar*>();
  ASSERT_TRUE(testsupport::waitFor([&] { return bar->value() > 0; }, 10000));
  EXPECT_TRUE(statusSays(dialog, " of 1.0 MB copied"));
  press(dialog, "Cancel");
  EXPECT_TRUE(testsupport::waitFor([&] { return !IsWindow(dialog); }));
  settle();
  EXPECT_LT(server.sent(), 16 * DownloadServer::kSize);
  EXPECT_TRUE(filesIn(target.path()).isEmpty()) << filesIn(target.path()).join(", ").toStdString();
  EXPECT_TRUE(stagingUntouched()) << filesIn(staging).join(", ").toStdString();

  // Closing the dialog's window (as dialog interception does) cancels too.
  navigate(server.url("/slow"));
  const HWND second = nextDialog(known);
  ASSERT_TRUE(second);
  dialogs.QueueFile(target.filePath("again.bin"));
  press(second, "Save");
  ASSERT_TRUE(
      testsupport::waitFor([&] { return WidgetOf(second)->findChild<QProgressBar*>()->value() > 0; }, 10000));
  SendMessage(second, WM_CLOSE, 0, 0);
  EXPECT_TRUE(testsupport::waitFor([&] { return !IsWindow(second); }));
  settle();
  EXPECT_TRUE(filesIn(target.path()).isEmpty()) << filesIn(target.path()).join(", ").toStdString();
  EXPECT_TRUE(stagingUntouched()) << filesIn(staging).join(", ").toStdString();
}

// ---------------------------------------------------------------- saving the page

TEST_F(DownloadDialogTest, SaveAsWritesThePageWhereTheUserChooses) {
  ASSERT_TRUE(showPage(server.url("/page")));
  // Without a name and without leave to ask: nothing to do.
  EXPECT_EQ(browser->Exec(nullptr, OLECMDID_SAVEAS, OLECMDEXECOPT_DONTPROMPTUSER, nullptr, nullptr),
            OLECMDERR_E_CANCELED);
  EXPECT_TRUE(dialogs.Calls.empty());
  // A cancelled save dialog saves nothing.
  EXPECT_EQ(browser->Exec(nullptr, OLECMDID_SAVEAS, OLECMDEXECOPT_PROMPTUSER, nullptr, nullptr),
            OLECMDERR_E_CANCELED);
  ASSERT_EQ(dialogs.CallsOf(TScriptedDialogService::dkSave).size(), 1u);
  EXPECT_EQ(dialogs.CallsOf(TScriptedDialogService::dkSave)[0].FileName, "Quarterly_ 1_2.html");

  const QString html = target.filePath("quarterly.html");
  dialogs.QueueFile(html);
  EXPECT_EQ(browser->Exec(nullptr, OLECMDID_SAVEAS, OLECMDEXECOPT_PROMPTUSER, nullptr, nullptr), S_OK);
  const QByteArray page = testsupport::readFile(html);
  EXPECT_TRUE(page.contains("<p id=\"content\">Saved words of the page</p>")) << page.toStdString();
  EXPECT_TRUE(page.contains("<title>Quarterly: 1/2</title>"));

  // The engine's own "Save page", as a web archive: the extension follows
  // the format chosen.
  dialogs.QueueFile(target.filePath("archive.html"), 3);
  browser->Page()->triggerAction(QWebEnginePage::SavePage);
  const QString archive = target.filePath("archive.mht");
  ASSERT_TRUE(
      testsupport::waitFor([&] { return testsupport::readFile(archive).contains("Saved words"); }, 10000));
  EXPECT_TRUE(testsupport::readFile(archive).startsWith("From:") ||
              testsupport::readFile(archive).contains("MIME-Version"));
  settle();
  EXPECT_EQ(filesIn(target.path()), (QStringList{"archive.mht", "quarterly.html"}));
  EXPECT_TRUE(stagingUntouched());
}

}  // namespace

#include <gtest/gtest.h>

#include "platform/rtl/Classes.h"
#include "tests/support/TestSupport.h"

#include <QThread>

#include <atomic>

namespace {

QString tempPath(const QString& name) { return testsupport::profileDir() + "/classes/" + name; }

template <typename E, typename F>
QString messageOf(F&& f) {
  try {
    f();
  } catch (const E& e) {
    return e.Message;
  }
  return QStringLiteral("<nothing raised>");
}

// An object that counts its destructions.
struct Counted : TObject {
  explicit Counted(int* deaths) : deaths(deaths) {}
  ~Counted() override { ++*deaths; }
  int* deaths;
};

}  // namespace

// ---------------------------------------------------------------- streams

TEST(MemoryStream, GrowsZeroFillsGapsAndClipsOnShrink) {
  TMemoryStream ms;
  ms.WriteBytes("abc");
  EXPECT_EQ(ms.GetPosition(), 3);
  EXPECT_EQ(ms.Seek(5, soCurrent), 8);
  ms.WriteBytes("Z");
  EXPECT_EQ(ms.Bytes(), QByteArray("abc\0\0\0\0\0Z", 9));
  EXPECT_EQ(ms.GetSize(), 9);

  ms.SetPosition(1);
  char two[2];
  EXPECT_EQ(ms.Read(two, 2), 2);
  EXPECT_EQ(QByteArray(two, 2), "bc");
  EXPECT_EQ(ms.Seek(-1, soEnd), 8);

  ms.SetSize(4);
  EXPECT_EQ(ms.GetPosition(), 4);
  EXPECT_EQ(ms.Read(two, 2), 0);
  ms.SetSize(6);  // growing again zero-fills
  EXPECT_EQ(ms.Bytes(), QByteArray("abc\0\0\0", 6));

  // Writing the stream's own bytes into itself while it grows.
  ms.Clear();
  ms.WriteBytes("xyz");
  ms.Write(ms.Memory(), 3);
  EXPECT_EQ(ms.Bytes(), "xyzxyz");
}

TEST(MemoryStream, BufferErrorsAndCopyFrom) {
  TMemoryStream ms;
  ms.WriteBytes("hello");
  ms.SetPosition(3);
  char buf[8];
  EXPECT_EQ(messageOf<EReadError>([&] { ms.ReadBuffer(buf, 3); }), "Stream read error");

  TStringStream source("0123456789");
  source.SetPosition(7);
  TMemoryStream target;
  EXPECT_EQ(target.CopyFrom(source, 0), 10);  // 0: the whole source, from its start
  EXPECT_EQ(target.Bytes(), "0123456789");
  source.SetPosition(2);
  target.Clear();
  EXPECT_EQ(target.CopyFrom(source, 3), 3);
  EXPECT_EQ(target.Bytes(), "234");
  EXPECT_THROW(target.CopyFrom(source, 50), EReadError);

  source.SetPosition(4);
  EXPECT_EQ(source.ReadAll(), "456789");
}

TEST(StringStream, HoldsUtf8Bytes) {
  TStringStream ss(QStringLiteral("gr\u00FC\u00DF"));
  EXPECT_EQ(ss.GetSize(), 6);
  EXPECT_EQ(ss.ReadString(4), QStringLiteral("gr\u00FC"));
  EXPECT_EQ(ss.ReadString(100), QStringLiteral("\u00DF"));
  ss.WriteString(QStringLiteral("\u20AC"));
  EXPECT_EQ(ss.DataString(), QStringLiteral("gr\u00FC\u00DF\u20AC"));
  EXPECT_EQ(ss.Bytes().size(), 9);
}

TEST(FileStream, CreateOpenModesAndErrorsNameTheFile) {
  const QString name = tempPath("stream.bin");
  testsupport::writeFile(name, "old contents");
  {
    TFileStream fs(name, fmCreate);  // truncates
    EXPECT_EQ(fs.GetSize(), 0);
    fs.WriteBytes("abcdef");
  }
  EXPECT_EQ(testsupport::readFile(name), "abcdef");
  {
    TFileStream fs(name, fmOpenWrite | fmShareDenyNone);  // opens without truncating
    fs.WriteBytes("XY");
  }
  EXPECT_EQ(testsupport::readFile(name), "XYcdef");
  {
    TFileStream fs(name, fmOpenReadWrite);
    EXPECT_EQ(fs.Seek(-2, soEnd), 4);
    EXPECT_EQ(fs.ReadAll(), "ef");
    fs.SetSize(3);
    EXPECT_EQ(fs.GetPosition(), 3);
    EXPECT_EQ(fs.GetSize(), 3);
  }
  {
    TFileStream fs(name, fmOpenRead);
    char c;
    EXPECT_THROW(fs.WriteBuffer("Q", 1), EWriteError);
    fs.ReadBuffer(&c, 1);
    EXPECT_EQ(c, 'X');
  }

  const QString missing = tempPath("missing.bin");
  EXPECT_EQ(messageOf<EFOpenError>([&] { TFileStream fs(missing, fmOpenRead); }),
            "Cannot open file \"" + missing + "\". No such file or directory");
  EXPECT_EQ(messageOf<EFOpenError>([&] { TFileStream fs(testsupport::profileDir(), fmOpenRead); }),
            "Cannot open file \"" + testsupport::profileDir() + "\". Is a directory");
  const QString inMissingFolder = tempPath("no/such/folder/x.bin");
  EXPECT_EQ(messageOf<EFCreateError>([&] { TFileStream fs(inMissingFolder, fmCreate); }),
            "Cannot create file \"" + inMissingFolder + "\". No such file or directory");
}

TEST(FileStream, MemoryStreamFileRoundTrip) {
  const QString name = tempPath("memory.bin");
  TMemoryStream out;
  out.WriteBytes(QByteArray("\0\1\2binary\xFF", 10));
  out.SaveToFile(name);
  TMemoryStream in;
  in.LoadFromFile(name);
  EXPECT_EQ(in.Bytes(), out.Bytes());
}

// ---------------------------------------------------------------- string lists

TEST(StringListText, SplitsOnEveryLineBreakAndJoinsWithCrLf) {
  TStringList list;
  list.SetText("a\r\nb\nc\rd");
  EXPECT_EQ(list.Strings(), QStringList({"a", "b", "c", "d"}));
  list.SetText("a\r\n");
  EXPECT_EQ(list.Strings(), QStringList({"a"}));
  list.SetText("a\r\n\r\n");
  EXPECT_EQ(list.Strings(), QStringList({"a", ""}));
  list.SetText("\n\r");  // LF then a lone CR: two empty lines
  EXPECT_EQ(list.Strings(), QStringList({"", ""}));
  list.SetText("\r\r\n");
  EXPECT_EQ(list.Strings(), QStringList({"", ""}));
  list.SetText("");
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.GetText(), "");

  list.AddStrings(QStringList({"x", "", "y"}));
  EXPECT_EQ(list.GetText(), "x\r\n\r\ny\r\n");
}

TEST(StringListText, CommaTextRoundTripsTrickyItems) {
  const QStringList items = {"plain",
                             "with space",
                             "com,ma",
                             "quo\"te",
                             "",
                             "tab\tline\r\nbreak",
                             QStringLiteral("\u00FCml\u00E4ut"),
                             "\"\""};
  TStringList list;
  list.AddStrings(items);
  EXPECT_EQ(list.GetCommaText(),
            QStringLiteral("plain,\"with space\",\"com,ma\",\"quo\"\"te\",,\"tab\tline\r\nbreak\","
                           "\u00FCml\u00E4ut,\"\"\"\"\"\""));
  TStringList back;
  back.SetCommaText(list.GetCommaText());
  EXPECT_EQ(back.Strings(), items);

  TStringList single;
  single.Add("");
  EXPECT_EQ(single.GetCommaText(), "\"\"");
  back.SetCommaText(single.GetCommaText());
  EXPECT_EQ(back.Strings(), QStringList({""}));

  // Unquoted blanks separate items too; a final comma adds an empty item.
  back.SetCommaText("  a b ,c,");
  EXPECT_EQ(back.Strings(), QStringList({"a", "b", "c", ""}));
  back.SetCommaText("\"open ended");
  EXPECT_EQ(back.Strings(), QStringList({"open ended"}));
  EXPECT_EQ(list.GetDelimitedText(';'),
            QStringLiteral("plain;\"with space\";com,ma;\"quo\"\"te\";;"
                           "\"tab\tline\r\nbreak\";\u00FCml\u00E4ut;\"\"\"\"\"\""));
}

TEST(StringListNames, NameValueAccess) {
  TStringList list;
  list.AddStrings(QStringList({"Host=example.org", "novalue", "Query=a=b", "Empty="}));
  EXPECT_EQ(list.Names(0), "Host");
  EXPECT_EQ(list.Names(1), "");
  EXPECT_EQ(list.ValueFromIndex(1), "");
  EXPECT_EQ(list.Values("QUERY"), "a=b");
  EXPECT_EQ(list.Values("Empty"), "");
  EXPECT_EQ(list.Values("novalue"), "");
  EXPECT_EQ(list.IndexOfName("host"), 0);

  list.SetValue("host", "other.org");
  EXPECT_EQ(list[0], "Host=other.org");
  list.SetValue("Port", "80");
  EXPECT_EQ(list[4], "Port=80");
  list.SetValue("QUERY", "");
  EXPECT_EQ(list.IndexOfName("Query"), -1);
  EXPECT_EQ(list.Count(), 4);
  list.SetValue("absent", "");
  EXPECT_EQ(list.Count(), 4);
}

TEST(StringListIndexes, OutOfRangeRaisesAndLookupIgnoresAsciiCase) {
  TStringList list;
  list.AddStrings(QStringList({"Alpha", "beta"}));
  EXPECT_EQ(messageOf<EStringListError>([&] { list.Get(2); }), "List index out of bounds (2)");
  EXPECT_EQ(messageOf<EStringListError>([&] { list.Put(-1, "x"); }), "List index out of bounds (-1)");
  EXPECT_EQ(messageOf<EStringListError>([&] { list.Delete(5); }), "List index out of bounds (5)");
  EXPECT_THROW(list.Insert(3, "x"), EStringListError);
  list.Insert(2, "end");  // one past the end is a valid place
  EXPECT_EQ(list[2], "end");

  EXPECT_EQ(list.IndexOf("BETA"), 1);
  EXPECT_EQ(list.IndexOf("gamma"), -1);
  list.Add(QStringLiteral("\u00C4rger"));
  EXPECT_EQ(list.IndexOf(QStringLiteral("\u00E4rger")), -1);  // only A..Z fold
  list.SetCaseSensitive(true);
  EXPECT_EQ(list.IndexOf("BETA"), -1);

  list.Move(0, 2);
  EXPECT_EQ(list.Strings(), QStringList({"beta", "end", "Alpha", QStringLiteral("\u00C4rger")}));
  list.Exchange(0, 3);
  EXPECT_EQ(list[0], QStringLiteral("\u00C4rger"));
}

TEST(SortedStringList, PlacesItemsAndAppliesDuplicates) {
  TStringList list;
  list.AddStrings(QStringList({"pear", "Apple", "fig"}));
  list.SetSorted(true);
  EXPECT_EQ(list.Strings(), QStringList({"Apple", "fig", "pear"}));
  EXPECT_EQ(list.Add("banana"), 1);
  EXPECT_EQ(list.Add("zucchini"), 4);

  Counted* kept = nullptr;
  int deaths = 0;
  list.AddObject("kiwi", kept = new Counted(&deaths));
  list.OwnsObjects = true;
  const int count = list.Count();
  Counted* duplicate = new Counted(&deaths);
  EXPECT_EQ(list.AddObject("KIWI", duplicate), list.IndexOf("kiwi"));  // dupIgnore
  EXPECT_EQ(list.Count(), count);
  EXPECT_EQ(list.GetObject(list.IndexOf("kiwi")), kept);
  delete duplicate;
  deaths = 0;

  list.Duplicates = dupError;
  EXPECT_EQ(messageOf<EStringListError>([&] { list.Add("FIG"); }), "String list does not allow duplicates");
  list.Duplicates = dupAccept;
  list.Add("FIG");
  EXPECT_EQ(list.Count(), count + 1);
  EXPECT_TRUE(SameText(list[list.IndexOf("fig") + 1], "fig"));

  EXPECT_EQ(messageOf<EStringListError>([&] { list.Insert(0, "a"); }),
            "Operation not allowed on sorted list");
  EXPECT_THROW(list.Put(0, "zzz"), EStringListError);

  int at = -1;
  EXPECT_TRUE(list.Find("PEAR", at));
  EXPECT_EQ(list[at], "pear");
  EXPECT_FALSE(list.Find("grape", at));
  EXPECT_EQ(list[at], "kiwi");  // where it would go

  // Name=value updates keep the order of a sorted list.
  list.SetValue("lemon", "1");
  list.SetValue("lemon", "2");
  EXPECT_EQ(list.Values("LEMON"), "2");
  for (int i = 1; i < list.Count(); ++i) EXPECT_LE(CompareText(list[i - 1], list[i]), 0);

  list.Clear();
  EXPECT_EQ(deaths, 1);  // the list owned "kiwi"'s object
}

TEST(SortedStringList, CaseSensitiveOrderAndCustomSort) {
  TStringList list;
  list.AddStrings(QStringList({"b", "B", "a", "A"}));
  list.SetCaseSensitive(true);
  list.SetSorted(true);
  EXPECT_EQ(list.Strings(), QStringList({"A", "B", "a", "b"}));
  list.Add("b");  // dupIgnore matches exactly only
  EXPECT_EQ(list.Count(), 4);
  list.Add("c");
  EXPECT_EQ(list.Count(), 5);

  TStringList words;
  words.AddStrings(QStringList({"ccc", "a", "bb", "dd", "e"}));
  words.CustomSort([](TStringList& l, int x, int y) { return int(l[x].size() - l[y].size()); });
  EXPECT_EQ(words.Strings(), QStringList({"a", "e", "bb", "dd", "ccc"}));  // stable for ties
}

TEST(StringListEvents, FireOncePerUpdateBracket) {
  TStringList list;
  int changing = 0, changed = 0;
  list.OnChanging = [&](TObject*) { ++changing; };
  list.OnChange = [&](TObject* sender) {
    EXPECT_EQ(sender, &list);
    ++changed;
  };
  list.Add("one");
  EXPECT_EQ(changing, 1);
  EXPECT_EQ(changed, 1);

  list.BeginUpdate();
  list.Add("two");
  list.BeginUpdate();
  list.Delete(0);
  list.EndUpdate();
  list.Put(0, "TWO");
  EXPECT_EQ(changing, 2);
  EXPECT_EQ(changed, 1);
  list.EndUpdate();
  EXPECT_EQ(changed, 2);

  list.BeginUpdate();  // nothing changes: nothing fires
  list.EndUpdate();
  list.Clear();
  list.Clear();
  EXPECT_EQ(changing, 3);
  EXPECT_EQ(changed, 3);

  list.SetText("a\nb\nc");
  list.AddObject("d", nullptr);
  list.SetCommaText("x,y");
  EXPECT_EQ(changing, 6);
  EXPECT_EQ(changed, 6);
}

TEST(StringListObjects, AssignCopiesAndOwnedObjectsDieOnce) {
  int deaths = 0;
  auto* a = new Counted(&deaths);
  auto* b = new Counted(&deaths);
  {
    TStringList owner;
    owner.OwnsObjects = true;
    owner.AddObject("a", a);
    owner.AddObject("b", b);
    owner.AddObject("c", new Counted(&deaths));

    TStringList copy;
    copy.Add("stale");
    copy.Assign(owner);
    EXPECT_EQ(copy.Strings(), QStringList({"a", "b", "c"}));
    EXPECT_EQ(copy.GetObject(1), b);
    EXPECT_EQ(copy.IndexOfObject(a), 0);

    copy.AddStrings(copy);  // from itself
    EXPECT_EQ(copy.Strings(), QStringList({"a", "b", "c", "a", "b", "c"}));
    EXPECT_EQ(copy.GetObject(4), b);

    owner.Delete(0);
    EXPECT_EQ(deaths, 1);
  }  // the owner's destruction frees the other two; the copy owns nothing
  EXPECT_EQ(deaths, 3);
}

TEST(StringListFiles, Utf8BomFileAndCrLfOutput) {
  const QString name = tempPath("lines.txt");
  ASSERT_TRUE(testsupport::writeFile(name,
                                     "\xEF\xBB\xBF"
                                     "first\r\nzw\xC3\xB6lf\nlast\r\n"));
  TStringList list;
  list.LoadFromFile(name);
  EXPECT_EQ(list.Strings(), QStringList({"first", QStringLiteral("zw\u00F6lf"), "last"}));

  list.Add(QStringLiteral("\u20AC"));
  const QString saved = tempPath("saved.txt");
  list.SaveToFile(saved);
  EXPECT_EQ(testsupport::readFile(saved), "first\r\nzw\xC3\xB6lf\r\nlast\r\n\xE2\x82\xAC\r\n");

  const QString missing = tempPath("absent.txt");
  EXPECT_EQ(messageOf<EFOpenError>([&] { list.LoadFromFile(missing); }),
            "Cannot open file \"" + missing + "\". No such file or directory");
  const QString underAFile = saved + "/inner.txt";
  EXPECT_EQ(messageOf<EFCreateError>([&] { list.SaveToFile(underAFile); }),
            "Cannot create file \"" + underAFile + "\". Not a directory");
  EXPECT_EQ(list.Count(), 4);  // a failed load leaves the list alone

  TMemoryStream ms;
  ms.WriteBytes("\xEF\xBB\xBFone\r\ntwo");
  ms.SetPosition(0);
  TStringList fromStream;
  fromStream.LoadFromStream(ms);
  EXPECT_EQ(fromStream.Strings(), QStringList({"one", "two"}));
  TMemoryStream out;
  fromStream.SaveToStream(out);
  EXPECT_EQ(out.Bytes(), "one\r\ntwo\r\n");
}

// ---------------------------------------------------------------- threads

namespace {

// A thread whose body is given by the test. It waits for its own end, as a
// class whose Execute uses its members must.
class LambdaThread : public TThread {
 public:
  LambdaThread(bool suspended, std::function<void(LambdaThread&)> body, int* deaths = nullptr)
      : TThread(suspended), body_(std::move(body)), deaths_(deaths) {}
  ~LambdaThread() override {
    if (!FreeOnTerminate && !Finished()) {
      Terminate();
      WaitFor();
    }
    if (deaths_) ++*deaths_;
  }
  using TThread::Terminated;

 protected:
  void Execute() override { body_(*this); }

 private:
  std::function<void(LambdaThread&)> body_;
  int* deaths_;
};

}  // namespace

TEST(Thread, SynchronizeRunsOnTheMainThreadAndWaitForAnswersReturnValue) {
  QThread* mainThread = QThread::currentThread();
  QThread* ranOn = nullptr;
  bool seenByWorker = false;
  bool terminatedOnMain = false;
  LambdaThread thread(true, [&](LambdaThread& self) {
    int value = 0;
    self.Synchronize([&] {
      ranOn = QThread::currentThread();
      value = 42;
    });
    seenByWorker = value == 42;  // Synchronize returned only after the call ran
    self.ReturnValue = 7;
  });
  thread.OnTerminate = [&](TObject*) { terminatedOnMain = QThread::currentThread() == mainThread; };
  EXPECT_FALSE(thread.Finished());
  thread.Start();
  EXPECT_EQ(thread.WaitFor(), 7);
  EXPECT_EQ(ranOn, mainThread);
  EXPECT_TRUE(seenByWorker);
  EXPECT_TRUE(terminatedOnMain);  // before WaitFor returned
  EXPECT_TRUE(thread.Finished());
  EXPECT_EQ(thread.WaitFor(), 7);
}

TEST(Thread, FreeOnTerminateDeletesOnceOnTheMainThread) {
  int deaths = 0, terminates = 0, queued = 0;
  QThread* mainThread = QThread::currentThread();
  auto* thread = new LambdaThread(
      false,
      [&](LambdaThread& self) {
        self.Synchronize([&] { EXPECT_EQ(QThread::currentThread(), mainThread); });
        TThread::Queue([&] { ++queued; });
      },
      &deaths);
  thread->FreeOnTerminate = true;
  thread->OnTerminate = [&](TObject*) {
    EXPECT_EQ(deaths, 0);
    ++terminates;
  };
  EXPECT_THROW(thread->WaitFor(), EInvalidOperation);
  EXPECT_TRUE(testsupport::waitFor([&] { return deaths > 0; }));
  testsupport::waitFor([] { return false; }, 100);
  EXPECT_EQ(deaths, 1);
  EXPECT_EQ(terminates, 1);
  EXPECT_EQ(queued, 1);
}

TEST(Thread, ExceptionsFromExecuteAndFromSynchronizedCalls) {
  LambdaThread failing(false, [](LambdaThread&) { throw EConvertError("bad number"); });
  failing.WaitFor();
  ASSERT_TRUE(failing.FatalException);
  EXPECT_EQ(messageOf<EConvertError>([&] { std::rethrow_exception(failing.FatalException); }), "bad number");

  // A call that raises on the main thread raises again in the worker.
  QString caught;
  LambdaThread relaying(false, [&](LambdaThread& self) {
    try {
      self.Synchronize([] { throw EAbort("stop"); });
    } catch (const EAbort& e) {
      caught = e.Message;
    }
  });
  relaying.WaitFor();
  EXPECT_EQ(caught, "stop");
  EXPECT_FALSE(relaying.FatalException);
}

TEST(Thread, StartModesAndTerminationOnDestruction) {
  std::atomic<bool> ran{false};
  {
    LambdaThread suspended(true, [&](LambdaThread&) { ran = true; });
    testsupport::waitFor([] { return false; }, 50);
    EXPECT_FALSE(ran);
    EXPECT_EQ(suspended.WaitFor(), 0);
  }
  EXPECT_FALSE(ran);  // never started, never runs

  LambdaThread running(false, [&](LambdaThread&) { ran = true; });
  EXPECT_TRUE(testsupport::waitFor([&] { return running.Finished(); }));
  EXPECT_TRUE(ran);

  // The base destructor alone terminates and waits, serving Synchronize calls.
  static std::atomic<int> loops{0};
  static std::atomic<bool> stopped{false};
  struct Spinner : TThread {
    Spinner() : TThread(false) {}
    void Execute() override {
      while (!Terminated()) {
        Synchronize([] {});
        ++loops;
      }
      stopped = true;
    }
  };
  auto* spinner = new Spinner;
  EXPECT_TRUE(testsupport::waitFor([] { return loops > 3; }));
  delete spinner;
  EXPECT_TRUE(stopped);
}

TEST(Thread, DeletingTheThreadInOnTerminateIsSafe) {
  int deaths = 0;
  auto* thread = new LambdaThread(
      false, [](LambdaThread& self) { self.ReturnValue = 3; }, &deaths);
  thread->OnTerminate = [&](TObject* sender) { delete static_cast<LambdaThread*>(sender); };
  EXPECT_EQ(thread->WaitFor(), 3);
  EXPECT_EQ(deaths, 1);
}

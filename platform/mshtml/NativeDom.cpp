#include "platform/mshtml/NativeDom.h"

#include <gumbo.h>

#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <cstdlib>

namespace nativedom {

namespace {

// ---------------------------------------------------------------- tag groups

bool InSet(const String& tag, std::initializer_list<const char*> names) {
  for (const char* name : names)
    if (tag == QLatin1String(name)) return true;
  return false;
}

// Elements without content or end tag.
bool IsVoid(const String& tag) {
  return InSet(tag, {"AREA", "BASE", "BASEFONT", "BGSOUND", "BR", "COL", "EMBED", "FRAME", "HR", "IMG",
                     "INPUT", "ISINDEX", "KEYGEN", "LINK", "META", "PARAM", "SOURCE", "TRACK", "WBR"});
}

// Elements whose text is written as it stands.
bool IsRawText(const String& tag) {
  return InSet(tag, {"SCRIPT", "STYLE", "XMP", "IFRAME", "NOEMBED", "NOFRAMES", "PLAINTEXT"});
}

bool IsBlock(const String& tag) {
  return InSet(tag,
               {"ADDRESS", "ARTICLE",  "ASIDE", "BLOCKQUOTE", "BODY",      "CAPTION",    "CENTER",  "DD",
                "DIR",     "DIV",      "DL",    "DT",         "FIELDSET",  "FIGCAPTION", "FIGURE",  "FOOTER",
                "FORM",    "FRAMESET", "H1",    "H2",         "H3",        "H4",         "H5",      "H6",
                "HEADER",  "HR",       "HTML",  "LEGEND",     "LI",        "LISTING",    "MAIN",    "MENU",
                "NAV",     "NOFRAMES", "OL",    "P",          "PLAINTEXT", "PRE",        "SECTION", "TABLE",
                "TBODY",   "TFOOT",    "THEAD", "TR",         "UL",        "XMP"});
}

bool IsPreformatted(const String& tag) {
  return InSet(tag, {"PRE", "LISTING", "PLAINTEXT", "XMP", "TEXTAREA"});
}

// Elements that show no text.
bool IsHidden(const String& tag) { return InSet(tag, {"HEAD", "SCRIPT", "STYLE", "TITLE", "TEMPLATE"}); }

bool IsAsciiSpace(QChar c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f'; }

// ---------------------------------------------------------------- gumbo

// Gumbo's allocations, cut from large blocks and freed all at once. Freeing
// the parser's output this way spares gumbo_destroy_output, which recurses
// once per level of nesting; cutting spares a heap call per allocation (what
// gumbo gives back during the parse stays unused until the end).
class GumboArena {
 public:
  GumboArena() = default;
  GumboArena(const GumboArena&) = delete;
  GumboArena& operator=(const GumboArena&) = delete;
  ~GumboArena() {
    for (void* block : blocks_) std::free(block);
  }

  static void* Allocate(void* self, size_t size) {
    auto* arena = static_cast<GumboArena*>(self);
    size = (size + kAlign - 1) & ~(kAlign - 1);
    if (size > arena->left_) {
      const size_t blockSize = std::max(size, kBlockSize);
      void* block = std::malloc(blockSize);
      if (!block) std::abort();  // gumbo cannot go on without memory
      arena->blocks_.push_back(block);
      arena->next_ = static_cast<char*>(block);
      arena->left_ = blockSize;
    }
    void* p = arena->next_;
    arena->next_ += size;
    arena->left_ -= size;
    return p;
  }
  static void Deallocate(void*, void*) {}

 private:
  static constexpr size_t kAlign = 16;
  static constexpr size_t kBlockSize = size_t(1) << 20;
  std::vector<void*> blocks_;
  char* next_ = nullptr;
  size_t left_ = 0;
};

String TagName(const GumboElement& e) {
  if (e.tag != GUMBO_TAG_UNKNOWN) {
    // One shared string per known tag: a page has thousands of elements.
    static std::vector<String> known = std::vector<String>(size_t(GUMBO_TAG_UNKNOWN));
    String& name = known[size_t(e.tag)];
    if (name.isEmpty()) name = UpperCase(String::fromUtf8(gumbo_normalized_tagname(e.tag)));
    return name;
  }
  GumboStringPiece piece = e.original_tag;
  if (piece.data && piece.length) gumbo_tag_from_original_text(&piece);
  const String name = UpperCase(String::fromUtf8(piece.data, qsizetype(piece.length)));
  return name.isEmpty() ? QStringLiteral("UNKNOWN") : name;
}

String DoctypeMarkup(const GumboDocument& d) {
  String s = QStringLiteral("<!DOCTYPE ") + String::fromUtf8(d.name);
  const String pub = String::fromUtf8(d.public_identifier);
  const String sys = String::fromUtf8(d.system_identifier);
  if (!pub.isEmpty()) s += QStringLiteral(" PUBLIC \"") + pub + u'"';
  if (!sys.isEmpty())
    s += (pub.isEmpty() ? QStringLiteral(" SYSTEM \"") : QStringLiteral(" \"")) + sys + u'"';
  return s + u'>';
}

void Append(Node* parent, Node* child) {
  child->parent = parent;
  parent->children.push_back(child);
}

void Convert(const GumboNode* document, Tree& tree) {
  const GumboDocument& d = document->v.document;
  if (d.has_doctype) {
    Node* n = tree.newNode(NodeKind::Doctype);
    n->text = DoctypeMarkup(d);
    Append(tree.root, n);
  }
  struct Item {
    const GumboVector* children;
    unsigned next;
    Node* parent;
  };
  std::vector<Item> stack{{&d.children, 0, tree.root}};
  while (!stack.empty()) {
    Item& top = stack.back();
    if (top.next >= top.children->length) {
      stack.pop_back();
      continue;
    }
    const auto* g = static_cast<const GumboNode*>(top.children->data[top.next++]);
    Node* parent = top.parent;  // `top` is not used after a push below
    switch (g->type) {
      case GUMBO_NODE_ELEMENT:
      case GUMBO_NODE_TEMPLATE: {
        const GumboElement& e = g->v.element;
        Node* n = tree.newNode(NodeKind::Element);
        n->tag = TagName(e);
        n->attributes.reserve(e.attributes.length);
        for (unsigned i = 0; i < e.attributes.length; ++i) {
          const auto* a = static_cast<const GumboAttribute*>(e.attributes.data[i]);
          n->attributes.push_back({String::fromUtf8(a->name), String::fromUtf8(a->value)});
        }
        Append(parent, n);
        stack.push_back({&e.children, 0, n});
        break;
      }
      case GUMBO_NODE_TEXT:
      case GUMBO_NODE_WHITESPACE:
      case GUMBO_NODE_CDATA: {
        Node* n = tree.newNode(NodeKind::Text);
        n->text = String::fromUtf8(g->v.text.text);
        Append(parent, n);
        break;
      }
      case GUMBO_NODE_COMMENT: {
        Node* n = tree.newNode(NodeKind::Comment);
        n->text = QStringLiteral("<!--") + String::fromUtf8(g->v.text.text) + QStringLiteral("-->");
        Append(parent, n);
        break;
      }
      case GUMBO_NODE_DOCUMENT: break;
    }
  }
}

// Every document has a TITLE, empty unless the source gave one.
void EnsureTitle(Tree& tree) {
  if (tree.first("TITLE")) return;
  Node* head = tree.head();
  if (!head) return;
  Node* title = tree.newNode(NodeKind::Element);
  title->tag = QStringLiteral("TITLE");
  Append(head, title);
}

// ---------------------------------------------------------------- markup

void AppendEscaped(String& out, const String& s, bool attribute) {
  // Runs that need no escaping are appended whole.
  const QChar* begin = s.constData();
  const QChar* run = begin;
  const QChar* end = begin + s.size();
  auto flush = [&](const QChar* upTo) {
    if (upTo > run) out.append(run, upTo - run);
  };
  for (const QChar* c = begin; c != end; ++c) {
    QLatin1String entity;
    switch (c->unicode()) {
      case u'&': entity = QLatin1String("&amp;"); break;
      case u'<':
        if (attribute) continue;
        entity = QLatin1String("&lt;");
        break;
      case u'>':
        if (attribute) continue;
        entity = QLatin1String("&gt;");
        break;
      case u'"':
        if (!attribute) continue;
        entity = QLatin1String("&quot;");
        break;
      case 0x00A0: entity = QLatin1String("&nbsp;"); break;
      default: continue;
    }
    flush(c);
    out += entity;
    run = c + 1;
  }
  flush(end);
}

void AppendOpenTag(String& out, const Node* n) {
  out += u'<';
  out += n->tag;
  for (const Attribute& a : n->attributes) {
    out += u' ';
    out += a.name;
    out += QLatin1String("=\"");
    AppendEscaped(out, a.value, true);
    out += u'"';
  }
  out += u'>';
}

// A text node's markup: as it stands inside scripts and the like, escaped elsewhere.
void AppendText(String& out, const Node* parent, const Node* text) {
  if (parent && parent->kind == NodeKind::Element && IsRawText(parent->tag))
    out += text->text;
  else
    AppendEscaped(out, text->text, false);
}

// The markup of `top` (with its own tags when `withTop`).
void AppendMarkup(String& out, const Node* top, bool withTop) {
  switch (top->kind) {
    case NodeKind::Text:
      if (withTop) AppendText(out, top->parent, top);
      return;
    case NodeKind::Comment:
    case NodeKind::Doctype:
      if (withTop) out += top->text;
      return;
    case NodeKind::Element:
      if (withTop) AppendOpenTag(out, top);
      if (IsVoid(top->tag)) return;
      break;
    case NodeKind::Document: break;
  }
  struct Item {
    const Node* node;
    size_t next;
  };
  std::vector<Item> stack{{top, 0}};
  while (!stack.empty()) {
    Item& it = stack.back();
    if (it.next == it.node->children.size()) {
      const Node* done = it.node;
      stack.pop_back();
      if (done->kind == NodeKind::Element && (done != top || withTop))
        out += QLatin1String("</") + done->tag + u'>';
      continue;
    }
    const Node* parent = it.node;
    const Node* c = parent->children[it.next++];
    switch (c->kind) {
      case NodeKind::Text: AppendText(out, parent, c); break;
      case NodeKind::Comment:
      case NodeKind::Doctype: out += c->text; break;
      case NodeKind::Element:
        AppendOpenTag(out, c);
        if (!IsVoid(c->tag)) stack.push_back({c, 0});
        break;
      case NodeKind::Document: break;
    }
  }
}

// Serialises the whole tree into its markup cache, recording each element's
// ranges, as AppendMarkup would write them one by one.
void BuildMarkupCache(const Tree& tree) {
  String& out = tree.markupCache;
  out.clear();
  const unsigned generation = tree.generation;
  struct Item {
    const Node* node;
    size_t next;
  };
  std::vector<Item> stack{{tree.root, 0}};
  while (!stack.empty()) {
    Item& it = stack.back();
    if (it.next == it.node->children.size()) {
      const Node* done = it.node;
      stack.pop_back();
      if (done->kind == NodeKind::Element) {
        done->innerEnd = out.size();
        out += QLatin1String("</");
        out += done->tag;
        out += u'>';
        done->outerEnd = out.size();
      }
      continue;
    }
    const Node* parent = it.node;
    const Node* c = parent->children[it.next++];
    if (c->isElement()) {
      c->spansGeneration = generation;
      c->textBegin = c->textEnd = 0;
      c->outerBegin = out.size();
    }
    switch (c->kind) {
      case NodeKind::Text: AppendText(out, parent, c); break;
      case NodeKind::Comment:
      case NodeKind::Doctype:
        out += c->text;
        c->innerBegin = c->innerEnd = c->outerEnd = out.size();
        break;
      case NodeKind::Element:
        AppendOpenTag(out, c);
        c->innerBegin = out.size();
        if (IsVoid(c->tag))
          c->innerEnd = c->outerEnd = out.size();
        else
          stack.push_back({c, 0});
        break;
      case NodeKind::Document: break;
    }
  }
}

// ---------------------------------------------------------------- text

// Collects rendered text: runs of whitespace become one blank, block edges a
// line break, table cells a tab; nothing pending is written at the ends. It
// appends to `out`, treating what stood there before as none of its own.
// Elements handed to enter() get the range of their text (see RenderText).
class TextWriter {
 public:
  explicit TextWriter(String& out) : out_(out), base_(out.size()) {}

  void text(const String& s, bool preformatted) {
    // Runs of plain characters are written whole; the separator before a
    // run is the same as before its first character.
    const QChar* c = s.constData();
    const QChar* end = c + s.size();
    while (c != end) {
      if (preformatted ? (*c == u'\r' || *c == u'\n') : IsAsciiSpace(*c)) {
        if (!preformatted) {
          space_ = true;
        } else if (*c == u'\n') {
          flush();
          out_ += QLatin1String("\r\n");
        }
        ++c;
        continue;
      }
      const QChar* run = c;
      while (c != end && !(preformatted ? (*c == u'\r' || *c == u'\n') : IsAsciiSpace(*c))) ++c;
      flush();
      out_.append(run, c - run);
    }
  }
  void lineBreak() {
    if (block_ && !atLineStart()) out_ += QLatin1String("\r\n");
    begin();
    out_ += QLatin1String("\r\n");
    block_ = cell_ = space_ = false;
  }
  void blockEdge() { block_ = true; }
  void cellEdge() { cell_ = true; }

  // An element's text begins with the first output inside it, after the
  // separator that output brings (read alone, the element has none), and
  // ends where the element does: what follows is the same either way.
  void enter(const Node* n) { pending_.push_back(n); }
  void leave(const Node* n) {
    if (!pending_.empty() && pending_.back() == n) {
      pending_.pop_back();
      n->textBegin = out_.size();
    }
    n->textEnd = out_.size();
  }

 private:
  bool atLineStart() const { return out_.size() == base_ || out_.endsWith(u'\n'); }
  void flush() {
    if (!atLineStart()) {
      if (block_)
        out_ += QLatin1String("\r\n");
      else if (cell_)
        out_ += u'\t';
      else if (space_)
        out_ += u' ';
    }
    block_ = cell_ = space_ = false;
    begin();
  }
  void begin() {
    if (pending_.empty()) return;
    for (const Node* n : pending_) n->textBegin = out_.size();
    pending_.clear();
  }

  String& out_;
  const qsizetype base_;
  std::vector<const Node*> pending_;
  bool space_ = false;
  bool block_ = false;
  bool cell_ = false;
};

// Elements whose rendered text is their content as it stands.
bool IsTextAsItStands(const Node* n) { return IsRawText(n->tag) || n->is("TITLE") || n->is("TEXTAREA"); }

// Writes the rendered text of `node` into `out`. With `hidden`, it also
// records the text range of every element it enters and collects the hidden
// elements it skips, whose text needs a pass of its own.
void RenderText(const Node* node, String& out, std::vector<const Node*>* hidden) {
  TextWriter writer(out);
  int preformatted = 0;
  for (const Node* n = node; n; n = n->parent)
    if (n->kind == NodeKind::Element && IsPreformatted(n->tag)) ++preformatted;
  struct Item {
    const Node* node;
    size_t next;
  };
  std::vector<Item> stack{{node, 0}};
  if (hidden) writer.enter(node);
  while (!stack.empty()) {
    Item& it = stack.back();
    if (it.next == it.node->children.size()) {
      const Node* done = it.node;
      stack.pop_back();
      if (hidden) writer.leave(done);
      if (done != node) {
        if (IsBlock(done->tag)) writer.blockEdge();
        if (IsPreformatted(done->tag)) --preformatted;
      }
      continue;
    }
    const Node* c = it.node->children[it.next++];
    if (c->kind == NodeKind::Text) {
      writer.text(c->text, preformatted > 0);
      continue;
    }
    if (c->kind != NodeKind::Element) continue;
    if (IsHidden(c->tag)) {
      if (hidden) hidden->push_back(c);
      continue;
    }
    if (c->is("BR")) {
      writer.lineBreak();
      continue;
    }
    if (IsBlock(c->tag))
      writer.blockEdge();
    else if (c->is("TD") || c->is("TH"))
      writer.cellEdge();
    if (IsPreformatted(c->tag)) ++preformatted;
    stack.push_back({c, 0});
    if (hidden) writer.enter(c);
  }
}

// ---------------------------------------------------------------- character sets

bool CanDecode(const String& charset) {
  return !charset.isEmpty() && QStringDecoder(charset.toLatin1().constData()).isValid();
}

String Decode(const QByteArray& bytes, const String& charset) {
  QStringDecoder decoder(charset.toLatin1().constData());
  return decoder.decode(bytes);
}

// The character set a meta element names near the start of the source.
String MetaCharset(const QByteArray& bytes) {
  static const QRegularExpression kMeta(
      QStringLiteral(R"(<meta\b[^>]*?charset\s*=\s*["']?\s*([A-Za-z0-9_.:-]+))"),
      QRegularExpression::CaseInsensitiveOption);
  const QRegularExpressionMatch m = kMeta.match(String::fromLatin1(bytes.left(4096)));
  if (!m.hasMatch()) return String();
  const String name = LowerCase(m.captured(1));
  // A document that could name its set in ASCII is not in UTF-16.
  return name.startsWith(QLatin1String("utf-16")) || name == QLatin1String("unicode")
             ? QStringLiteral("utf-8")
             : name;
}

}  // namespace

// ---------------------------------------------------------------- Node

Attribute* Node::findAttribute(const String& name, bool caseSensitive) {
  for (Attribute& a : attributes)
    if (a.name.compare(name, caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive) == 0) return &a;
  return nullptr;
}

const Attribute* Node::findAttribute(const String& name, bool caseSensitive) const {
  return const_cast<Node*>(this)->findAttribute(name, caseSensitive);
}

String Node::attribute(const String& name) const {
  const Attribute* a = findAttribute(name);
  return a ? a->value : String();
}

// ---------------------------------------------------------------- Tree

Tree::Tree() { root = newNode(NodeKind::Document); }

Node* Tree::newNode(NodeKind kind) {
  nodes.push_back(std::make_unique<Node>());
  Node* n = nodes.back().get();
  n->kind = kind;
  if (kind == NodeKind::Comment || kind == NodeKind::Doctype) n->tag = QStringLiteral("!");
  return n;
}

void Tree::index() {
  for (Node* n : all) n->sourceIndex = -1;
  all.clear();
  std::vector<Node*> stack(root->children.rbegin(), root->children.rend());
  while (!stack.empty()) {
    Node* n = stack.back();
    stack.pop_back();
    if (!n->isElement()) continue;
    n->sourceIndex = int(all.size());
    all.push_back(n);
    stack.insert(stack.end(), n->children.rbegin(), n->children.rend());
  }
}

Node* Tree::documentElement() const {
  for (Node* n : root->children)
    if (n->kind == NodeKind::Element) return n;
  return nullptr;
}

Node* Tree::head() const {
  if (Node* html = documentElement())
    for (Node* n : html->children)
      if (n->is("HEAD")) return n;
  return nullptr;
}

Node* Tree::body() const {
  if (Node* html = documentElement())
    for (Node* n : html->children)
      if (n->is("BODY") || n->is("FRAMESET")) return n;
  return nullptr;
}

Node* Tree::first(const char* upperTag) const {
  std::vector<Node*> stack(root->children.rbegin(), root->children.rend());
  while (!stack.empty()) {
    Node* n = stack.back();
    stack.pop_back();
    if (n->is(upperTag)) return n;
    stack.insert(stack.end(), n->children.rbegin(), n->children.rend());
  }
  return nullptr;
}

String Tree::resolve(const String& value) const {
  const String v = value.trimmed();
  const QUrl relative(v);
  if (!relative.isValid()) return v;
  if (!relative.isRelative()) return relative.toString(QUrl::FullyEncoded);
  if (base.isEmpty() || base.isRelative() || base.scheme() == QLatin1String("about")) return v;
  return base.resolved(relative).toString(QUrl::FullyEncoded);
}

std::shared_ptr<Tree> ParseHtml(const String& html, const QUrl& url) {
  auto tree = std::make_shared<Tree>();
  tree->url = url;
  const QByteArray utf8 = html.toUtf8();
  {
    GumboArena arena;
    GumboOptions options = kGumboDefaultOptions;
    options.allocator = &GumboArena::Allocate;
    options.deallocator = &GumboArena::Deallocate;
    options.userdata = &arena;
    // Parse errors are not reported; recording them costs memory that grows
    // with the square of the nesting.
    options.max_errors = 0;
    const GumboOutput* output = gumbo_parse_with_options(&options, utf8.constData(), size_t(utf8.size()));
    Convert(output->document, *tree);
  }
  tree->index();
  // The index is in document order, so the first TITLE and BASE are found in it.
  auto first = [&](const char* tag) -> const Node* {
    for (const Node* n : tree->all)
      if (n->is(tag)) return n;
    return nullptr;
  };
  if (!first("TITLE")) {
    EnsureTitle(*tree);
    tree->index();
  }
  tree->base = url;
  if (const Node* base = first("BASE"); base && base->hasAttribute(QStringLiteral("href"))) {
    const QUrl href(base->attribute(QStringLiteral("href")).trimmed());
    tree->base = url.isEmpty() || url.scheme() == QLatin1String("about") ? href : url.resolved(href);
  }
  return tree;
}

// ---------------------------------------------------------------- decoding

DecodedHtml DecodeHtml(const QByteArray& bytes, const String& declaredCharset, bool useMetaCharset) {
  if (bytes.startsWith("\xEF\xBB\xBF"))
    return {Decode(bytes.mid(3), QStringLiteral("utf-8")), QStringLiteral("utf-8")};
  if (bytes.startsWith("\xFF\xFE"))
    return {Decode(bytes.mid(2), QStringLiteral("utf-16le")), QStringLiteral("utf-16le")};
  if (bytes.startsWith("\xFE\xFF"))
    return {Decode(bytes.mid(2), QStringLiteral("utf-16be")), QStringLiteral("utf-16be")};
  String charset = LowerCase(declaredCharset.trimmed());
  if (!CanDecode(charset) && useMetaCharset) charset = MetaCharset(bytes);
  if (!CanDecode(charset)) charset = QStringLiteral("utf-8");
  return {Decode(bytes, charset), charset};
}

QByteArray EncodeHtml(const String& text, const String& charset) {
  const QByteArray name = charset.toLatin1();
  const bool utf16 = charset.startsWith(QLatin1String("utf-16"));
  QStringEncoder encoder(name.constData(),
                         utf16 ? QStringConverter::Flag::WriteBom : QStringConverter::Flag::Default);
  if (charset.isEmpty() || !encoder.isValid()) return text.toUtf8();
  return encoder.encode(text);
}

// ---------------------------------------------------------------- serialising

String OuterHtml(const Node* node) {
  String out;
  AppendMarkup(out, node, true);
  return out;
}

String InnerHtml(const Node* node) {
  String out;
  AppendMarkup(out, node, false);
  return out;
}

String DocumentHtml(const Tree& tree) {
  String out;
  for (const Node* n : tree.root->children) {
    if (!out.isEmpty()) out += QLatin1String("\r\n");
    AppendMarkup(out, n, true);
  }
  return out;
}

String TextContent(const Node* node) {
  String out;
  std::vector<const Node*> stack{node};
  while (!stack.empty()) {
    const Node* n = stack.back();
    stack.pop_back();
    if (n->kind == NodeKind::Text) out += n->text;
    if (n->kind == NodeKind::Element || n->kind == NodeKind::Document)
      stack.insert(stack.end(), n->children.rbegin(), n->children.rend());
  }
  return out;
}

String InnerText(const Node* node) {
  if (node->kind != NodeKind::Element) return String();
  if (IsTextAsItStands(node)) return TextContent(node);
  String out;
  RenderText(node, out, nullptr);
  return out;
}

namespace {

// Makes both caches for the tree's generation, when they are not.
void BuildCaches(const Tree& tree) {
  if (tree.cacheGeneration == tree.generation) return;
  BuildMarkupCache(tree);
  String& text = tree.textCache;
  text.clear();
  std::vector<const Node*> passes;
  for (const Node* n : tree.root->children)
    if (n->kind == NodeKind::Element) passes.push_back(n);
  while (!passes.empty()) {
    const Node* start = passes.back();
    passes.pop_back();
    // The text inside a script or title is read as it stands; only elements
    // below one (which parsing never puts there) need a pass.
    const bool elementsBelow = std::any_of(start->children.begin(), start->children.end(),
                                           [](const Node* c) { return c->isElement(); });
    if (IsTextAsItStands(start) && !elementsBelow) continue;
    RenderText(start, text, &passes);
  }
  tree.cacheGeneration = tree.generation;
}

bool Cached(const Tree& tree, const Node* node) {
  BuildCaches(tree);
  return node->spansGeneration == tree.generation;
}

}  // namespace

QStringView CachedOuterHtml(const Tree& tree, const Node* node, String& spare) {
  if (!node->isElement()) return {};
  if (!Cached(tree, node)) return spare = OuterHtml(node);
  return QStringView(tree.markupCache).sliced(node->outerBegin, node->outerEnd - node->outerBegin);
}

QStringView CachedInnerHtml(const Tree& tree, const Node* node, String& spare) {
  if (!node->isElement()) return {};
  if (!Cached(tree, node)) return spare = InnerHtml(node);
  return QStringView(tree.markupCache).sliced(node->innerBegin, node->innerEnd - node->innerBegin);
}

QStringView CachedInnerText(const Tree& tree, const Node* node, String& spare) {
  if (node->kind != NodeKind::Element) return {};
  if (IsTextAsItStands(node) || !Cached(tree, node)) return spare = InnerText(node);
  return QStringView(tree.textCache).sliced(node->textBegin, node->textEnd - node->textBegin);
}

String DocumentTitle(const Tree& tree) {
  const Node* title = tree.first("TITLE");
  if (!title) return String();
  String out;
  bool space = false;
  for (QChar c : TextContent(title)) {
    if (IsAsciiSpace(c)) {
      space = !out.isEmpty();
      continue;
    }
    if (space) out += u' ';
    space = false;
    out += c;
  }
  return out;
}

// ---------------------------------------------------------------- addresses

String UrlProtocol(const QUrl& url) { return url.scheme().isEmpty() ? String() : url.scheme() + u':'; }

String UrlProtocolName(const QUrl& url) {
  const String scheme = url.scheme();
  if (scheme == QLatin1String("http")) return QStringLiteral("HyperText Transfer Protocol");
  if (scheme == QLatin1String("https")) return QStringLiteral("HyperText Transfer Protocol with Privacy");
  if (scheme == QLatin1String("ftp")) return QStringLiteral("File Transfer Protocol");
  if (scheme == QLatin1String("file")) return QStringLiteral("File Protocol");
  return QStringLiteral("Unknown Protocol");
}

int UrlEffectivePort(const QUrl& url) { return url.port() >= 0 ? url.port() : UrlDefaultPort(url); }

int UrlDefaultPort(const QUrl& url) {
  const String scheme = url.scheme();
  if (scheme == QLatin1String("http")) return 80;
  if (scheme == QLatin1String("https")) return 443;
  if (scheme == QLatin1String("ftp")) return 21;
  return -1;
}

String UrlPathname(const QUrl& url) {
  const String path = url.path(QUrl::FullyEncoded);
  if (url.host().isEmpty() && !path.startsWith(u'/')) return path;  // about:blank gives "blank"
  return path.isEmpty() ? QStringLiteral("/") : path;
}

String UrlSearch(const QUrl& url) {
  const String query = url.query(QUrl::FullyEncoded);
  return query.isEmpty() ? String() : u'?' + query;
}

String UrlHash(const QUrl& url) {
  const String fragment = url.fragment(QUrl::FullyEncoded);
  return fragment.isEmpty() ? String() : u'#' + fragment;
}

String UrlFileName(const QUrl& url) { return url.fileName(QUrl::FullyDecoded); }

}  // namespace nativedom

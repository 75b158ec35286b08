#pragma once
// The tree of a windowless document: nodes parsed from HTML by gumbo, shaped
// as the document interfaces present them (tag names in capitals; HTML, HEAD,
// TITLE and BODY always present; comments and the document type as elements
// named "!"; `all` in document order), with the decoding of the source bytes
// and the serialising of markup and text. Every walk over the tree uses an
// explicit stack, so no depth of nesting exhausts the call stack.
#include "platform/rtl/SysUtils.h"

#include <QByteArray>
#include <QUrl>

#include <memory>
#include <vector>

struct IHTMLElement;

namespace nativedom {

enum class NodeKind { Document, Element, Text, Comment, Doctype };

struct Attribute {
  String name;  // in lower case, as the parser gives it
  String value;
};

struct Node {
  NodeKind kind = NodeKind::Element;
  // Elements: the tag name in capitals; comments and the document type: "!".
  String tag;
  // Text nodes: the text; comments and the document type: their whole markup.
  String text;
  std::vector<Attribute> attributes;
  Node* parent = nullptr;
  std::vector<Node*> children;
  // Position in the document's `all` (-1 outside it).
  int sourceIndex = -1;
  // The live element object of this node, if one exists (not owned; the
  // object clears it when it goes).
  IHTMLElement* wrapper = nullptr;
  // Where the node's markup and rendered text stand in its tree's cached
  // serialisations; valid while `spansGeneration` is the tree's generation.
  mutable qsizetype outerBegin = 0, innerBegin = 0, innerEnd = 0, outerEnd = 0;
  mutable qsizetype textBegin = 0, textEnd = 0;
  mutable unsigned spansGeneration = 0;

  // Whether the node is one of the document's elements (comments and the
  // document type included).
  bool isElement() const {
    return kind == NodeKind::Element || kind == NodeKind::Comment || kind == NodeKind::Doctype;
  }
  bool is(const char* upperTag) const { return kind == NodeKind::Element && tag == QLatin1String(upperTag); }
  // The attribute named `name` (any case unless `caseSensitive`); null when absent.
  Attribute* findAttribute(const String& name, bool caseSensitive = false);
  const Attribute* findAttribute(const String& name, bool caseSensitive = false) const;
  bool hasAttribute(const String& name) const { return findAttribute(name) != nullptr; }
  // The attribute's value; empty when absent.
  String attribute(const String& name) const;
};

struct Tree {
  Tree();
  std::vector<std::unique_ptr<Node>> nodes;  // every node of the tree, detached ones too
  Node* root = nullptr;                      // the document node
  std::vector<Node*> all;                    // the elements in document order
  QUrl url;                                  // the document's address
  QUrl base;                                 // what relative addresses resolve against
  bool modified = false;                     // changed since it was parsed
  unsigned generation = 1;                   // bumped by every change

  // Every change of a node goes through here, so the cached serialisations
  // are made again on their next read.
  void changed() {
    modified = true;
    ++generation;
  }

  // The serialisations the cached subtree reads are cut from, and the
  // generation they were made for.
  mutable String markupCache;
  mutable String textCache;
  mutable unsigned cacheGeneration = 0;

  Node* newNode(NodeKind kind);
  // Numbers the elements into `all` again.
  void index();
  Node* documentElement() const;  // HTML
  Node* head() const;
  // BODY, or FRAMESET in a document of frames.
  Node* body() const;
  // The first element with this tag name (capitals), in document order.
  Node* first(const char* upperTag) const;
  // `value` resolved against the base address (a relative address stays as it
  // is when the base is not hierarchical, as about:blank).
  String resolve(const String& value) const;
};

// Parses `html` into a new tree with the address `url`.
std::shared_ptr<Tree> ParseHtml(const String& html, const QUrl& url);

// The characters of an HTML source and the name of the character set that
// decoded them (in lower case). The set comes from a byte-order mark, else
// `declaredCharset` (as a server declared it), else a meta element near the
// start (unless `useMetaCharset` is false), else UTF-8. Bytes that are not
// valid in the set become U+FFFD.
struct DecodedHtml {
  String text;
  String charset;
};
DecodedHtml DecodeHtml(const QByteArray& bytes, const String& declaredCharset, bool useMetaCharset);
// `text` in the character set `charset`; UTF-8 for a set that cannot be written.
QByteArray EncodeHtml(const String& text, const String& charset);

String OuterHtml(const Node* node);
String InnerHtml(const Node* node);
// The same four subtree reads served from one serialisation of markup and one
// of text per tree generation, with a range per node: a walk that reads them
// for every element costs the document's size once, not once per level of
// nesting. They give what the uncached routines give.
// The views stay valid until the tree changes or is read again; a node the
// tree does not reach is serialised into `spare`.
QStringView CachedOuterHtml(const Tree& tree, const Node* node, String& spare);
QStringView CachedInnerHtml(const Tree& tree, const Node* node, String& spare);
QStringView CachedInnerText(const Tree& tree, const Node* node, String& spare);
// The whole document's markup: its top-level nodes, one to a line.
String DocumentHtml(const Tree& tree);
// The rendered text: whitespace collapsed outside preformatted blocks, CR LF
// between blocks and for line breaks, a tab between table cells, the content
// of scripts, styles and the head left out. Inside a preformatted element
// (PRE, LISTING, ...) the text stays as it stands, as it is shown.
String InnerText(const Node* node);
// Every text below the node, as it stands.
String TextContent(const Node* node);
// The document title: the first TITLE's text with whitespace collapsed.
String DocumentTitle(const Tree& tree);

// Parts of an address as the location and anchor properties give them.
String UrlProtocol(const QUrl& url);      // "http:"
String UrlProtocolName(const QUrl& url);  // "HyperText Transfer Protocol"
// The usual port of the address's scheme (-1 when unknown).
int UrlDefaultPort(const QUrl& url);
// The port the address names, else the scheme's usual one.
int UrlEffectivePort(const QUrl& url);
String UrlPathname(const QUrl& url);  // "/dir/file.html"; for about: the rest ("blank")
String UrlSearch(const QUrl& url);    // "?q=1" or ""
String UrlHash(const QUrl& url);      // "#top" or ""
String UrlFileName(const QUrl& url);  // the last part of the path

}  // namespace nativedom

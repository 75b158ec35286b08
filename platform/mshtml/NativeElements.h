#pragma once
// The element, collection and location objects of windowless documents. They
// hold the tree they show (so it lives as long as any of them) and the
// document that their `document` property answers.
#include "platform/mshtml/MsHtmlElements.h"
#include "platform/mshtml/NativeDom.h"

namespace nativedom {

// The element object of `node`: the same object for as long as one is alive.
ComPtr<IHTMLElement> ElementOf(const std::shared_ptr<Tree>& tree, Node* node, IDispatch* document);
ComPtr<IHTMLElementCollection> NewCollection(const std::shared_ptr<Tree>& tree, std::vector<Node*> nodes,
                                             IDispatch* document);
ComPtr<IHTMLLocation> NewLocation(const QUrl& url);

// The nodes among `nodes` with the tag name `tag` (any case).
std::vector<Node*> WithTag(const std::vector<Node*>& nodes, const String& tag);
// The elements below `node`, in document order.
std::vector<Node*> Descendants(const Node* node);

}  // namespace nativedom

// The edit services of shown pages: the designers registered with each page,
// kept while the page lives and released with it.
#include <QObject>
#include <QPointer>
#include <QWebEnginePage>

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/com/Dispatch.h"
#include "platform/mshtml/EditServices_p.h"

namespace {

class EditServices final : public ComObject<IHTMLEditServices> {
 public:
  HRESULT AddDesigner(IHTMLEditDesigner* designer) override {
    if (!designer || Find(designer) != designers_.end()) return E_INVALIDARG;
    designers_.emplace_back(designer);
    return S_OK;
  }
  HRESULT RemoveDesigner(IHTMLEditDesigner* designer) override {
    auto it = Find(designer);
    if (!designer || it == designers_.end()) return E_INVALIDARG;
    designers_.erase(it);
    return S_OK;
  }
  // The list is taken first: releasing a designer may call back in.
  void ReleaseAll() { std::exchange(designers_, {}).clear(); }
  bool Holds(IHTMLEditDesigner* designer) { return designer && Find(designer) != designers_.end(); }
  std::vector<ComPtr<IHTMLEditDesigner>> Designers() const { return designers_; }

 private:
  std::vector<ComPtr<IHTMLEditDesigner>>::iterator Find(IHTMLEditDesigner* designer) {
    return std::find_if(designers_.begin(), designers_.end(),
                        [designer](const ComPtr<IHTMLEditDesigner>& d) { return d.Get() == designer; });
  }
  std::vector<ComPtr<IHTMLEditDesigner>> designers_;
};

// Lives as a child of the page: the designers go when the page goes.
class ServicesHolder final : public QObject {
 public:
  explicit ServicesHolder(QWebEnginePage* page) : QObject(page), services(MakeCom<EditServices>()) {
    setObjectName(QStringLiteral("noctivane-edit-services"));
  }
  ~ServicesHolder() override { services->ReleaseAll(); }
  ComPtr<EditServices> services;
};

ServicesHolder* holderOf(QWebEnginePage* page, bool create) {
  if (!page) return nullptr;
  auto* holder =
      page->findChild<ServicesHolder*>(QStringLiteral("noctivane-edit-services"), Qt::FindDirectChildrenOnly);
  if (!holder && create) holder = new ServicesHolder(page);
  return holder;
}

}  // namespace

ComPtr<IHTMLEditServices> PageEditServices(QWebEnginePage* page) {
  ServicesHolder* holder = holderOf(page, true);
  return holder ? ComPtr<IHTMLEditServices>(holder->services) : nullptr;
}

std::vector<ComPtr<IHTMLEditDesigner>> PageEditDesigners(QWebEnginePage* page) {
  ServicesHolder* holder = holderOf(page, false);
  return holder ? holder->services->Designers() : std::vector<ComPtr<IHTMLEditDesigner>>{};
}

bool PageHoldsEditDesigner(QWebEnginePage* page, IHTMLEditDesigner* designer) {
  ServicesHolder* holder = holderOf(page, false);
  return holder && holder->services->Holds(designer);
}

void ReleasePageEditDesigners(QWebEnginePage* page) {
  if (ServicesHolder* holder = holderOf(page, false)) holder->services->ReleaseAll();
}

HRESULT EventProperty(IHTMLEventObj* event, const String& name, OleVariant& value) {
  if (!event) return E_POINTER;
  DISPID id = DISPID_UNKNOWN;
  HRESULT hr = DispatchGetIDOfName(event, name, id);
  if (FAILED(hr)) return hr;
  return DispatchGetProperty(event, id, value);
}

#pragma once
// The edit services of a shown page, for the live document.
#include <vector>

#include "platform/mshtml/MsHtmlEdit.h"

class QWebEnginePage;

// The page's services, made on first use; null for a null page.
ComPtr<IHTMLEditServices> PageEditServices(QWebEnginePage* page);
// The designers registered with the page, in order.
std::vector<ComPtr<IHTMLEditDesigner>> PageEditDesigners(QWebEnginePage* page);
// Whether `designer` is still registered with the page.
bool PageHoldsEditDesigner(QWebEnginePage* page, IHTMLEditDesigner* designer);
// Lets go of every designer of the page (its document goes away).
void ReleasePageEditDesigners(QWebEnginePage* page);

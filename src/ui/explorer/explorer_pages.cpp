#include "ui/explorer/explorer_pages.h"

#include "ui/explorer/web_view_module.h"

namespace {

ExplorerPageFactory& installed()
{
    static ExplorerPageFactory pages = &createPageFromWebViewModule;
    return pages;
}

} // namespace

ExplorerPageFactory defaultExplorerPages()
{
    return installed();
}

void setDefaultExplorerPages(ExplorerPageFactory pages)
{
    installed() = std::move(pages);
}

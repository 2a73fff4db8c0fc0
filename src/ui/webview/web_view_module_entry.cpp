// The entry point of the web view module that the window opens on first use.
#include "ui/explorer/web_view_module.h"
#include "ui/webview/explorer_web_view.h"

extern "C" Q_DECL_EXPORT ExplorerPage*
tallowmere_create_explorer_page(const QUrl& url, bool dark, QWidget* parent, QString* why)
{
    static_assert(std::is_same_v<decltype(&tallowmere_create_explorer_page), WebViewModuleEntry>);
    return ExplorerWebView::create(url, dark, parent, why);
}

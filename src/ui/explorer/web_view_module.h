#pragma once

#include "ui/explorer/explorer_page.h"

// The Explorer's web view lives in a module of its own (tallowmere-webview.so, beside the
// window's executable), opened the first time a page is shown. Linked into the window, the web
// engine would create an OpenGL context while the QApplication is constructed, loading the GL
// driver (with software rendering, LLVM) and the engine's relocations: about 70 MB resident
// paid by every session, most of which never open the Explorer.
//
// The module's entry point, `tallowmere_create_explorer_page`, has the signature of an
// ExplorerPageFactory's call; the module takes ExplorerPage and the engine settings from the
// executable, which exports its symbols for it.
inline constexpr char webViewModuleName[] = "tallowmere-webview.so";
inline constexpr char webViewModuleEntry[] = "tallowmere_create_explorer_page";
using WebViewModuleEntry = ExplorerPage* (*)(const QUrl& url, bool dark, QWidget* parent,
                                             QString* why);

// Opens the module on the first call (after readying the engine's shared OpenGL context) and
// creates a page through it; null with `why` set when the module can't be opened here.
ExplorerPage* createPageFromWebViewModule(const QUrl& url, bool dark, QWidget* parent,
                                          QString* why);

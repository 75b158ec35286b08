#pragma once
// The browser's own stores as entries of the URL cache: the engine's cookies
// under "Cookie:" and the URL history's visits under "Visited:".
class QWebEngineProfile;

// The visits of the URL history store (UrlHistoryStore()).
void RegisterHistoryCacheSource();
// The cookies of `profile`'s cookie store, mirrored as the engine reports them.
void RegisterCookieCacheSource(QWebEngineProfile* profile);

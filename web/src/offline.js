// Keeps the page's files so that it opens without a network once it has been loaded: the
// files come from the cache first; a new build brings a new version and a fresh cache.
const version = 'tessivor-__VERSION__';
const files = __FILES__;

self.addEventListener('install', (event) => {
    event.waitUntil(caches.open(version).then((cache) => cache.addAll(files)));
    self.skipWaiting();
});

self.addEventListener('activate', (event) => {
    event.waitUntil(caches.keys().then((keys) => Promise.all(
        keys.filter((k) => k.startsWith('tessivor-') && k !== version).map((k) => caches.delete(k)))));
    self.clients.claim();
});

self.addEventListener('fetch', (event) => {
    if (event.request.method !== 'GET') return;
    event.respondWith(caches.open(version).then(async (cache) => {
        const url = new URL(event.request.url);
        const hit = await cache.match(url.pathname.endsWith('/') ? './' : event.request,
                                      { ignoreSearch: true });
        return hit || fetch(event.request);
    }));
});

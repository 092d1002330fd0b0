// The page's service worker: the site's own files kept in a cache named for
// the build, so that the page starts and converts without a network. A new
// build has a new name (the build writes VERSION and FILES); once it is
// installed, the caches of every other build go. Requests to anything but
// the site's files pass through untouched (the page makes none).
const VERSION = "@VERSION@";
const FILES = ["@FILES@"];
const CACHE = `tavro-conversor-${VERSION}`;

self.addEventListener("install", (event) => {
  event.waitUntil(caches.open(CACHE).then((cache) => cache.addAll(FILES)).then(() => self.skipWaiting()));
});

self.addEventListener("activate", (event) => {
  event.waitUntil(caches.keys()
    .then((names) => Promise.all(names.filter((name) => name !== CACHE).map((name) => caches.delete(name))))
    .then(() => self.clients.claim()));
});

self.addEventListener("fetch", (event) => {
  const url = new URL(event.request.url);
  if (event.request.method !== "GET" || url.origin !== location.origin) return;
  event.respondWith(caches.open(CACHE)
    .then((cache) => cache.match(event.request, { ignoreSearch: true }))
    .then((cached) => cached ?? fetch(event.request)));
});

// Keeps the site's files, so that after one visit the game plays with no
// network. The build writes in the files and a version made from their
// contents: a new build is a new cache, which takes the old one's place.
"use strict";

const VERSION = "unbuilt"; // the build writes both
const FILES = ["./"];
const CACHE = `huanglang-${VERSION}`;

self.addEventListener("install", (event) => {
  event.waitUntil(
    caches
      .open(CACHE)
      // From the site itself, never from the browser's cache of an older build.
      .then((cache) => cache.addAll(FILES.map((file) => new Request(file, { cache: "reload" }))))
      .then(() => self.skipWaiting()),
  );
});

self.addEventListener("activate", (event) => {
  event.waitUntil(
    caches
      .keys()
      .then((names) => Promise.all(names.filter((name) => name !== CACHE).map((name) => caches.delete(name))))
      .then(() => self.clients.claim()),
  );
});

// The site's own files from the cache, anything else as the network has it.
self.addEventListener("fetch", (event) => {
  if (event.request.method !== "GET") return;
  event.respondWith(caches.match(event.request, { ignoreSearch: true }).then((kept) => kept ?? fetch(event.request)));
});

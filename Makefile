# The few things a player or a developer does, over the CMake presets.
#   make play    install what is missing, build, and play
#   make install build the release and install it (PREFIX=/usr/local; DESTDIR works)
#   make deb     the Debian package, build/release/huanglang_<version>_amd64.deb
#   make dist    every file a release offers, in build/dist: the Windows zip, the
#                macOS and Linux tarballs, the Debian package, the site as a zip,
#                and SHA256SUMS (scripts/dist)
#   make test    install what is missing, then every test and check: warnings as
#                errors, the sanitizers, the Debian package, clang-format,
#                clang-tidy and cppcheck, the Windows cross build under Wine, the
#                macOS cross builds (arm64 and x86_64), the static Linux build,
#                and the browser edition played in headless Chromium; then makes
#                the release's files and plays what they unpack to (scripts/dist-check)
#   make web     the browser edition, a static site in build/web/site
#   make web-play  build it and serve it on http://127.0.0.1:8000/ (PORT=n for another)
#   make coverage  line coverage of src/ by every test (report in build/coverage/html)
#   make bench   pacing and hurry figures on a pseudo-terminal and in the browser
#                (about two minutes)
#   make soak    a thousand random plays at a terminal (15 to 20 min); PLAYS=n for more or fewer

.PHONY: play install deb dist web web-play test coverage bench soak clean

play:
	@scripts/setup play
	@cmake --preset release --log-level=ERROR >/dev/null
	@cmake --build --preset release
	@./build/release/src/huanglang

PREFIX ?= /usr/local
install:
	@scripts/setup play
	@cmake --preset release --log-level=ERROR -DCMAKE_INSTALL_PREFIX=$(PREFIX) >/dev/null
	@cmake --build --preset release
	DESTDIR=$(DESTDIR) cmake --install build/release

deb:
	@scripts/setup package
	cmake --workflow --preset deb

dist:
	@scripts/setup dist
	scripts/dist

web:
	@scripts/setup web
	cmake --workflow --preset web

PORT ?= 8000
web-play: web
	@echo "The game is at http://127.0.0.1:$(PORT)/ (Ctrl-C here stops the server)."
	@python3 -m http.server $(PORT) --bind 127.0.0.1 --directory build/web/site

test:
	@scripts/setup test
	cmake --workflow --preset ci
	cmake --workflow --preset deb
	cmake --workflow --preset asan
	cmake --workflow --preset windows
	cmake --workflow --preset macos-arm64
	cmake --workflow --preset macos-x86_64
	cmake --workflow --preset linux-static
	cmake --workflow --preset web
	scripts/lint
	scripts/dist
	scripts/dist-check

coverage:
	@scripts/setup test
	@scripts/coverage

bench:
	@scripts/setup test
	@cmake --preset ci --log-level=ERROR >/dev/null
	@cmake --build --preset ci --target pacing_bench
	@./build/ci/bench/pacing_bench
	@cmake --workflow --preset web >/dev/null
	@node bench/web_bench.mjs build/web/site

PLAYS ?= 1000
soak:
	@scripts/setup test
	@cmake --preset ci --log-level=ERROR >/dev/null
	@cmake --build --preset ci --target soak
	@./build/ci/tests/soak $(PLAYS)

clean:
	rm -rf build

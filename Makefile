# The few things a player or a developer does, over the CMake presets.
#   make play    install what is missing, build, and play
#   make test    install what is missing, then every test: warnings as errors,
#                the sanitizers, and the Windows cross build, played under Wine
#   make bench   pacing and hurry figures on a pseudo-terminal (about 100 s)
#   make soak    a thousand random plays at a terminal (15 to 20 min); PLAYS=n for more or fewer

.PHONY: play test bench soak clean

play:
	@scripts/setup play
	@cmake --preset release --log-level=ERROR >/dev/null
	@cmake --build --preset release
	@./build/release/src/huanglang

test:
	@scripts/setup test
	cmake --workflow --preset ci
	cmake --workflow --preset asan
	cmake --workflow --preset windows
	scripts/windows-smoke

bench:
	@scripts/setup test
	@cmake --preset ci --log-level=ERROR >/dev/null
	@cmake --build --preset ci --target pacing_bench
	@./build/ci/bench/pacing_bench

PLAYS ?= 1000
soak:
	@scripts/setup test
	@cmake --preset ci --log-level=ERROR >/dev/null
	@cmake --build --preset ci --target soak
	@./build/ci/tests/soak $(PLAYS)

clean:
	rm -rf build

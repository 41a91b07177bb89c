# The front door: `make run` starts the program, `make test` runs every test.
# Both install what is missing first.
.PHONY: deps native windows test test-native test-windows run bench clean \
        sanitize test-sanitize fuzz-build fuzz fuzz-smoke dist install

deps:
	@tools/install-deps

native: deps
	cmake --preset native >/dev/null
	cmake --build --preset native

windows: deps
	cmake --preset windows >/dev/null
	cmake --build --preset windows

test-native: native
	ctest --preset native

# The window tests need an X display: a private Xvfb, never the user's screen.
test-windows: windows
	xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset windows

# The same unit tests once more, built with AddressSanitizer and
# UndefinedBehaviorSanitizer.
sanitize: deps
	cmake --preset sanitize >/dev/null
	cmake --build --preset sanitize

test-sanitize: sanitize
	ctest --preset sanitize

# The merge fuzzer (fuzz/): `make fuzz` runs it for FUZZ_SECONDS, `make test`
# for a short while, on one worker. Its inputs are shapes of models, so it
# needs no seeds; its corpus and any inputs that fail (findings/, and a
# non-zero status) stay in build/fuzz.
FUZZ_SECONDS ?= 300
fuzz-build: deps
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz --target merge_fuzzer

run-fuzzer = mkdir -p build/fuzz/corpus build/fuzz/findings && \
	build/fuzz/fuzz/merge_fuzzer -max_total_time=$(1) -timeout=10 -rss_limit_mb=2048 -max_len=512 \
	  -print_final_stats=1 -artifact_prefix=build/fuzz/findings/ build/fuzz/corpus

fuzz: fuzz-build
	$(call run-fuzzer,$(FUZZ_SECONDS))

fuzz-smoke: fuzz-build
	$(call run-fuzzer,45)

test: test-native test-windows test-sanitize fuzz-smoke

# tintweld-cli against cp on large and many models; prints PASS/MISS per
# target. Never part of `make test`.
bench: deps
	cmake --preset native >/dev/null
	cmake --build --preset native --target tintweld-cli modelgen
	python3 bench/bench.py build/native

run: windows
	tools/run-app

# The Windows download, build/dist/tintweld-VERSION-windows-x64.zip.
dist: windows
	tools/make-dist

# The native tintweld-cli and its manual page, under PREFIX.
PREFIX ?= /usr/local
install: native
	cmake --install build/native --prefix "$(PREFIX)" --strip

clean:
	rm -rf build

# The front door: `make run` starts the program, `make test` runs every test.
# Both install what is missing first; `make help` lists every target. Each
# target builds only what it uses: the tests only for the targets that run
# them.
.PHONY: help deps native windows test test-native test-windows run modelgen bench clean \
        sanitize test-sanitize fuzz-build fuzz fuzz-smoke dist install
.DEFAULT_GOAL := help

# A target's line in `make help` is the comment after "##" on its rule.
help: ## list the targets
	@awk -F ':.*## ' '/^[a-z-]+:.*## / { printf "  make %-14s %s\n", $$1, $$2 }' $(MAKEFILE_LIST)

configure = cmake --preset $(1) >/dev/null

deps: ## install the Debian packages that are missing (as root)
	@tools/install-deps

# The window program, and for a run without a display the generator and
# logtext that tools/run-app uses.
run: deps ## build the window program and start it under Wine
	$(call configure,windows)
	cmake --build --preset windows --target tintweld modelgen logtext
	tools/run-app

test: test-native test-windows test-sanitize fuzz-smoke ## build everything and run every test

modelgen: deps ## build the model generator, build/native/tools/modelgen/modelgen
	$(call configure,native)
	cmake --build --preset native --target modelgen

# The native tintweld-cli and its manual page, under PREFIX.
PREFIX ?= /usr/local
install: deps ## install tintweld-cli and its manual page under PREFIX (/usr/local)
	$(call configure,native)
	cmake --build --preset native --target installed-files
	cmake --install build/native --prefix "$(PREFIX)" --strip

# The Windows download, build/dist/tintweld-VERSION-windows-x64.zip, and beside
# it SHA256SUMS, the zip's checksum.
dist: deps ## build the Windows download, build/dist/tintweld-VERSION-windows-x64.zip
	$(call configure,windows)
	cmake --build --preset windows --target tintweld tintweld-cli
	tools/make-dist

native: deps ## build the native libraries, tintweld-cli, the generator and their tests
	$(call configure,native)
	cmake --build --preset native

windows: deps ## build the Windows programs and their tests (MinGW-w64)
	$(call configure,windows)
	cmake --build --preset windows

test-native: native ## run the native tests
	ctest --preset native

# The window tests need an X display: a private Xvfb, never the user's screen.
test-windows: windows ## run the Windows tests under Wine, on a private Xvfb
	xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset windows

# The same unit tests once more, built with AddressSanitizer and
# UndefinedBehaviorSanitizer.
sanitize: deps ## build the native tests with the sanitizers
	$(call configure,sanitize)
	cmake --build --preset sanitize

test-sanitize: sanitize ## run the native tests with the sanitizers
	ctest --preset sanitize

# The merge fuzzer (fuzz/): `make fuzz` runs it for FUZZ_SECONDS, `make test`
# for a short while, on one worker. Its inputs are shapes of models, so it
# needs no seeds; its corpus and any inputs that fail (findings/, and a
# non-zero status) stay in build/fuzz.
FUZZ_SECONDS ?= 300
fuzz-build: deps ## build the merge fuzzer (clang, libFuzzer)
	$(call configure,fuzz)
	cmake --build --preset fuzz --target merge_fuzzer

run-fuzzer = mkdir -p build/fuzz/corpus build/fuzz/findings && \
	build/fuzz/fuzz/merge_fuzzer -max_total_time=$(1) -timeout=10 -rss_limit_mb=2048 -max_len=512 \
	  -print_final_stats=1 -artifact_prefix=build/fuzz/findings/ build/fuzz/corpus

fuzz: fuzz-build ## run the merge fuzzer for FUZZ_SECONDS (default 300)
	$(call run-fuzzer,$(FUZZ_SECONDS))

fuzz-smoke: fuzz-build ## run the merge fuzzer for 45 seconds
	$(call run-fuzzer,45)

# tintweld-cli against cp on large and many models; prints PASS/MISS per
# target. Never part of `make test`.
bench: deps ## measure tintweld-cli against cp (never part of the tests)
	$(call configure,native)
	cmake --build --preset native --target tintweld-cli modelgen
	python3 bench/bench.py build/native

clean: ## remove the build tree
	rm -rf build

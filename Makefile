# The front door: `make run` starts the program, `make test` runs every test.
# Both install what is missing first.
.PHONY: deps native windows test test-native test-windows run bench clean

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

test: test-native test-windows

# tintweld-cli against cp on large and many models; prints PASS/MISS per
# target. Never part of `make test`.
bench: deps
	cmake --preset native >/dev/null
	cmake --build --preset native --target tintweld-cli modelgen
	python3 bench/bench.py build/native

run: windows
	tools/run-app

clean:
	rm -rf build

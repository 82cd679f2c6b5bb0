# The two everyday commands: `make run` and `make test`. Both install what is missing first.
JOBS ?= 2

.PHONY: all deps configure build run test test-asan test-tsan fuzz-smoke package format clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake --preset default >/dev/null

build: configure
	@cmake --build --preset default -j $(JOBS)

run: build
	@if [ -x build/default/src/editor/qt/vaneto-editor ]; then \
		build/default/src/editor/qt/vaneto-editor; \
	else \
		echo "the editor is not built yet: everything else is"; \
	fi

test: build
	@ctest --preset default -j $(JOBS)

test-asan: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j $(JOBS)
	@ctest --preset asan -j $(JOBS)

# The threaded tests (transfer, names during a transfer, the ALSA backend, playback) under
# ThreadSanitizer; the whole suite runs, any report fails it.
test-tsan: deps
	@cmake --preset tsan >/dev/null
	@cmake --build --preset tsan -j $(JOBS)
	@ctest --preset tsan -j $(JOBS)

# build/package/vaneto_<version>_amd64.deb
package: build
	@cd build/default && cpack -G DEB >/dev/null && ls ../package/vaneto_*.deb

fuzz-smoke: deps
	@if [ -x scripts/fuzz-smoke ]; then scripts/fuzz-smoke; else echo "no fuzz targets yet"; fi

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf build

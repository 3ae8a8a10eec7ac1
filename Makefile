# The developer's entry points. Everything runs through the CMake presets.
.PHONY: all deps build test test-linux test-win64 package demo bench clean

PRESETS := linux win64 win32

all: build

deps:
	@scripts/install-deps

build: deps
	@for p in $(PRESETS); do \
	  cmake --preset $$p >/dev/null && cmake --build --preset $$p || exit 1; \
	done

test-linux: deps
	cmake --preset linux >/dev/null
	cmake --build --preset linux
	ctest --preset linux

test-win64: deps
	cmake --preset win64 >/dev/null
	cmake --build --preset win64
	ctest --preset win64

test: deps
	@for p in $(PRESETS); do \
	  cmake --preset $$p >/dev/null && cmake --build --preset $$p || exit 1; \
	done
	ctest --preset linux
	ctest --preset win64

package: deps
	@for p in win64 win32; do \
	  cmake --preset $$p >/dev/null && cmake --build --preset $$p --target brakkis_isle || exit 1; \
	  mkdir -p dist/$$p && cp "build/$$p/launcher/Brakkis Isle.exe" "dist/$$p/Brakkis Isle.exe"; \
	done
	@ls -l dist/*/"Brakkis Isle.exe"

demo: deps
	@scripts/demo

# Native benchmarks and the Win32 figures under Wine; writes docs/performance.md.
bench: deps
	cmake --preset linux >/dev/null && cmake --build --preset linux --target staging_bench enumerate_bench
	cmake --preset win64 >/dev/null && cmake --build --preset win64 --target bench_wine brakkis_isle
	cmake --preset win32 >/dev/null && cmake --build --preset win32 --target brakkis_isle
	scripts/bench-report

clean:
	rm -rf build dist

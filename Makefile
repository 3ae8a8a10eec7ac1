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

# The Wine tests spend most of their time in the launcher's own pauses, so
# they run while the native builds compile; the win32 build is the exe alone,
# as nothing can run it here.
test: deps
	@cmake --preset win64 >/dev/null && cmake --build --preset win64
	@(ctest --preset win64 >build/win64/ctest.log 2>&1; echo $$? >build/win64/ctest.status) & \
	status=0; \
	for p in linux linux-asan; do \
	  { cmake --preset $$p >/dev/null && cmake --build --preset $$p; } || status=1; \
	done; \
	{ cmake --preset win32 >/dev/null && cmake --build --preset win32 --target brakkis_isle; } || status=1; \
	[ $$status -ne 0 ] || ctest --preset linux || status=1; \
	[ $$status -ne 0 ] || ctest --preset linux-asan || status=1; \
	wait; cat build/win64/ctest.log; \
	[ $$status -eq 0 ] && [ "$$(cat build/win64/ctest.status)" = 0 ]

# dist/brakkis-isle-<version>-win64.zip and -win32.zip, each the exe and the
# player's README.txt, and their checksums in dist/SHA256SUMS.
package: deps
	@rm -rf dist && mkdir -p dist
	@for p in win64 win32; do \
	  cmake --preset $$p >/dev/null && cmake --build --preset $$p --target player_archive || exit 1; \
	  cp build/$$p/launcher/dist/*.zip dist/; \
	done
	@cd dist && sha256sum *.zip >SHA256SUMS && cat SHA256SUMS

demo: deps
	@scripts/demo

# Native benchmarks and the Win32 figures under Wine; writes docs/performance.md.
bench: deps
	cmake --preset linux >/dev/null && cmake --build --preset linux --target enumerate_bench
	cmake --preset win64 >/dev/null && cmake --build --preset win64 --target bench_wine brakkis_isle
	cmake --preset win32 >/dev/null && cmake --build --preset win32 --target brakkis_isle
	scripts/bench-report

clean:
	rm -rf build dist

# libFuzzer campaigns, FUZZ_TIME seconds per target (and at most FUZZ_RUNS
# inputs). New inputs collect in build/linux-fuzz/corpus, logs and findings
# in build/linux-fuzz/logs; the seeds in fuzz/corpus are only read.
FUZZ_TIME ?= 60
FUZZ_RUNS ?= -1
FUZZ_TARGETS ?= general_section caption
FUZZ_TMPDIR ?= $(if $(wildcard /dev/shm),/dev/shm,/tmp)

fuzz: deps
	cmake --preset linux-fuzz >/dev/null
	cmake --build --preset linux-fuzz
	@cd build/linux-fuzz && mkdir -p logs && for t in $(FUZZ_TARGETS); do \
	  mkdir -p corpus/$$t; echo "fuzz: $$t for $(FUZZ_TIME) s"; \
	  TMPDIR=$(FUZZ_TMPDIR) fuzz/$${t}_fuzz -max_total_time=$(FUZZ_TIME) -runs=$(FUZZ_RUNS) -print_final_stats=1 \
	    -artifact_prefix=logs/$$t- corpus/$$t ../../fuzz/corpus/$$t >logs/$$t.log 2>&1 \
	    || { tail -n 40 logs/$$t.log; exit 1; }; \
	  grep -E 'stat::(number_of_executed_units|average_exec_per_sec)' logs/$$t.log; \
	done

# SPDX-License-Identifier: GPL-3.0-or-later
# Voxlane: every target installs what is missing first (scripts/deps.sh).
JOBS ?= $(shell nproc)
BUILD ?= build
CMAKE_FLAGS ?=
FUZZ_SECONDS ?= 60
FUZZ_BUILD ?= build-fuzz

.PHONY: all deps build run test test-fresh bench screenshots install package test-sanitize test-asan test-tsan fuzz format clean

all: build

deps:
	@./scripts/deps.sh

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# Starts Voxlane in the tray: on PipeWire when it is reachable, else on the simulated audio server
# with demo applications (ARGS=--demo forces that). Without a display it says so and fails.
ARGS ?=
run: build
	$(BUILD)/voxlane $(ARGS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# `make test` on a fresh Debian 12: a minimal debootstrap in a temporary directory, a clone of the
# committed HEAD, `make test` in a chroot as root; prints the time. Needs root (or sudo), the
# network and many minutes; run it when a change touches dependencies (not part of CI).
test-fresh:
	@./scripts/test-fresh.sh

# Installs the program, its menu entry, icon and manual page under PREFIX (default /usr/local;
# DESTDIR works as usual).
PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# The Debian package, in $(BUILD)/: sudo apt install ./$(BUILD)/voxlane_*.deb
package: build
	cd $(BUILD) && cpack -G DEB

bench: build
	$(BUILD)/bench/voxlane_bench --benchmark_counters_tabular=true
	./bench/render_vs_sox.sh $(BUILD)/tools/voxlane-render

# The views rendered offscreen into $(BUILD)/screenshots/, on the light glass in light/ (SCALE=2
# for twice the pixels), on a screen of 1920 × 1080, in English; LANG=de renders them in German
# into $(BUILD)/screenshots/de/. Only a LANG given here counts, not the session's.
SCALE ?= 1
SCREENSHOTS_LANG = $(if $(filter command line,$(origin LANG)),$(LANG))
screenshots: build
	@mkdir -p $(BUILD)/screenshots/.runtime && chmod 700 $(BUILD)/screenshots/.runtime
	LC_ALL=C.UTF-8 QT_QPA_PLATFORM=offscreen:configfile=$(CURDIR)/tools/screenshots/screen.json \
		QT_QPA_OFFSCREEN_NO_GLX=1 QT_SCALE_FACTOR=$(SCALE) \
		XDG_RUNTIME_DIR=$(CURDIR)/$(BUILD)/screenshots/.runtime \
		$(BUILD)/tools/voxlane-screenshots \
		$(BUILD)/screenshots$(if $(SCREENSHOTS_LANG),/$(SCREENSHOTS_LANG) $(SCREENSHOTS_LANG))

test-sanitize: test-asan test-tsan

test-asan: deps
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DVOXLANE_SANITIZE=address -DVOXLANE_BUILD_BENCH=OFF
	cmake --build build-asan -j $(JOBS)
	cd build-asan && LSAN_OPTIONS="suppressions=$(CURDIR)/scripts/lsan.supp" ctest --output-on-failure -j $(JOBS)

test-tsan: deps
	cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVOXLANE_SANITIZE=thread -DVOXLANE_BUILD_BENCH=OFF
	cmake --build build-tsan -j $(JOBS)
	# Tests start helpers (Xvfb, xdotool) from threaded processes; the children exec at once.
	cd build-tsan && TSAN_OPTIONS="halt_on_error=1 die_after_fork=0 suppressions=$(CURDIR)/scripts/tsan.supp" ctest --output-on-failure -j $(JOBS)

# Builds every fuzz/<Name>Fuzz.cpp with clang, libFuzzer and AddressSanitizer and runs each for
# FUZZ_SECONDS, seeded from fuzz/corpus/<Name>; what it finds stays in $(FUZZ_BUILD)/corpus and
# crashing inputs in $(FUZZ_BUILD)/artifacts.
fuzz:
	@./scripts/deps.sh fuzz
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
		-DVOXLANE_FUZZ=ON -DVOXLANE_BUILD_TESTS=OFF -DVOXLANE_BUILD_BENCH=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@set -e; for target in $(FUZZ_BUILD)/fuzz/voxlane_fuzz_*; do \
		name=$${target##*/voxlane_fuzz_}; \
		mkdir -p $(FUZZ_BUILD)/corpus/$$name $(FUZZ_BUILD)/artifacts/$$name; \
		echo "fuzz: $$name for $(FUZZ_SECONDS) s"; \
		$$target -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
			-artifact_prefix=$(FUZZ_BUILD)/artifacts/$$name/ \
			$(FUZZ_BUILD)/corpus/$$name fuzz/corpus/$$name; \
	done

format:
	find src tests tools bench fuzz -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf build build-asan build-tsan $(FUZZ_BUILD)

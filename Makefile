# The two everyday commands: `make run` and `make test`.
BUILD ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
JOBS ?= $(shell nproc)
# A compiler cache outside the clone, when the machine has one: a fresh
# clone then compiles only what changed.
CCACHE := $(shell command -v ccache 2>/dev/null)
LAUNCHER := $(if $(CCACHE),-DCMAKE_CXX_COMPILER_LAUNCHER=$(CCACHE))
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := 1

.PHONY: run test deps build test-asan build-asan test-tsan build-tsan bench samples clean deb test-deb

deps:
	@scripts/install-deps

build: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release $(LAUNCHER) \
	  -DKALVANE_BENCH=OFF >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

# The editor on the sample project; without a display, the sample's
# exports made headless instead.
run: build
	@if [ -n "$${DISPLAY:-}$${WAYLAND_DISPLAY:-}" ]; then \
	  ./$(BUILD)/kalvane $(BUILD)/samples/turntable/turntable-aligned.vpj; \
	else \
	  echo "No display: exporting the sample project headless instead (out/veldata.swf, out/site/)."; \
	  mkdir -p out && \
	  ./$(BUILD)/kalvane-cli export $(BUILD)/samples/turntable/turntable-aligned.vpj -o out/veldata.swf && \
	  ./$(BUILD)/kalvane-cli design $(BUILD)/samples/turntable/turntable-aligned.vpj \
	    --design shop/framed -o out/site; \
	fi

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The Debian package, $(BUILD)/kalvane_VERSION_ARCH.deb, built by debhelper
# from debian/ in $(BUILD)/deb; the compiler cache makes a second build quick.
# debhelper's marks of an earlier run go first, so every run builds anew.
deb: deps
	@dpkg-checkbuilddeps
	@rm -rf debian/.debhelper debian/kalvane debian/debhelper-build-stamp debian/files debian/*.substvars
	@rm -f $(BUILD)/kalvane_*.deb
	KALVANE_DEB_BUILDDIR=$(BUILD)/deb KALVANE_DEB_OUTDIR=$(BUILD) KALVANE_LAUNCHER="$(LAUNCHER)" \
	  DEB_BUILD_OPTIONS="noautodbgsym parallel=$(JOBS) $${DEB_BUILD_OPTIONS:-}" debian/rules binary

# Installs the package on this machine, runs what it installed and removes
# it again (not in CI: it changes the machine; needs root).
test-deb: deb
	tests/package/install-test.sh $(BUILD)

build-asan: deps
	@cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKALVANE_SANITIZE=ON $(LAUNCHER) \
	  -DKALVANE_BENCH=OFF >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)

# The same suite under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: build-asan
	cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS) -LE 'node|package'

build-tsan: deps
	@cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKALVANE_TSAN=ON $(LAUNCHER) \
	  -DKALVANE_BENCH=OFF >/dev/null
	@cmake --build $(TSAN_BUILD) -j $(JOBS)

# The suite under ThreadSanitizer; libvips and GLib are not built with it,
# so races inside them are not reported (tests/tsan.supp). Qt starts
# programs with a vfork-like clone whose child shares the parent's memory,
# so the sanitizer's after-fork mark reaches the parent: die_after_fork=0.
test-tsan: build-tsan
	cd $(TSAN_BUILD) && TSAN_OPTIONS="suppressions=$(CURDIR)/tests/tsan.supp halt_on_error=1 second_deadlock_stack=1 ignore_noninstrumented_modules=1 die_after_fork=0" \
	  ctest --output-on-failure -j $(JOBS) -LE 'node|package'

bench: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release $(LAUNCHER) \
	  -DKALVANE_BENCH=ON >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)
	./$(BUILD)/bench/kalvane_bench
	./$(BUILD)/bench/kalvane_ui_bench

# Renders the sample photographs again (POV-Ray); they are committed.
samples:
	@scripts/install-deps samples
	tools/samples/make-samples data/samples/turntable

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD)

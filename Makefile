# The two commands of the README, and the longer runs behind them.
#   make run    build, start the projector simulator on a pseudo-terminal, start the panel on it
#   make test   install what is missing, build, run every test headless
#   make bench  timing, memory and start-up table (BENCH_ARGS=--full for the long run)
#   make soak   long runs against the simulator (SOAK_ARGS=--quick for a short one)
BUILD   ?= build
GEN     := -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
SUDO    := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
export XDG_RUNTIME_DIR ?= /tmp/runtime-$(shell id -u)

DEBS := cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools qt6-serialport-dev \
        libqt6serialport6-dev fonts-ipafont-gothic xvfb xauth \
        clang libclang-rt-14-dev clang-tidy clang-format dpkg-dev appstream lintian

ASAN    := build-asan
FUZZ    := build-fuzz
CTEST   := QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 300 -j2
SAN_ENV := ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1 \
           UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
           LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0

.PHONY: deps configure build run test test-asan test-fuzz lint fuzz bench soak clean

deps:
	@missing=$$(for p in $(DEBS); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null \
	    | grep -q 'install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	    echo "Installing: $$missing"; \
	    $(SUDO) apt-get update -qq && \
	    DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) $(GEN)

configure: $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD)

run: build
	@mkdir -p -m 700 $(XDG_RUNTIME_DIR)
	tools/run-panel.sh $(BUILD)

# Style and static checks, the short fuzz runs, the whole suite under AddressSanitizer
# and UndefinedBehaviorSanitizer, then the whole suite as built for use (last, so that
# its summary closes the run).
test: build lint test-fuzz test-asan
	@mkdir -p -m 700 $(XDG_RUNTIME_DIR)
	cd $(BUILD) && $(CTEST)

lint: configure
	tools/lint.sh $(BUILD)

$(ASAN)/build.ninja: | deps
	cmake -S . -B $(ASAN) $(GEN) -DTARN_SANITIZE=ON

test-asan: $(ASAN)/build.ninja
	@mkdir -p -m 700 $(XDG_RUNTIME_DIR)
	cmake --build $(ASAN)
	cd $(ASAN) && $(SAN_ENV) $(CTEST)

$(FUZZ)/build.ninja: | deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ) $(GEN) -DTARN_FUZZ=ON

test-fuzz: $(FUZZ)/build.ninja
	cmake --build $(FUZZ) --target fuzzers
	cd $(FUZZ) && ctest --output-on-failure -L fuzz

# Each fuzzer for ten minutes ($$FUZZ_SECONDS to change it).
fuzz: $(FUZZ)/build.ninja
	cmake --build $(FUZZ) --target fuzzers
	for f in $(FUZZ)/bin/fuzz_*; do name=$${f##*/fuzz_}; echo "== $$name"; \
	    tests/fuzz/run-fuzzer.sh $$f tests/fuzz/corpus/$$name long; done

bench: build
	@mkdir -p -m 700 $(XDG_RUNTIME_DIR)
	cmake --build $(BUILD) --target benchmarks
	bench/run-all.sh $(BUILD) $(BENCH_ARGS)

# The full soak runs about 25 minutes; SOAK_ARGS=--quick makes it about 2.
soak: build
	@mkdir -p -m 700 $(XDG_RUNTIME_DIR)
	cmake --build $(BUILD) --target benchmarks
	$(BUILD)/bin/tarn-soak $(SOAK_ARGS)

clean:
	rm -rf $(BUILD) build-*

# The Debian package of the three programs, the desktop entry, the icon and the manual
# pages, built with CPack into $(BUILD)/tarn-panel_<version>_<arch>.deb.
.PHONY: package
package: build
	cd $(BUILD) && cpack -G DEB

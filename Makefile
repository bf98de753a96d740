# The two commands of the README, and the longer runs behind them.
#   make run      build, start the projector simulator on a pseudo-terminal, start the panel on it
#   make test     install what is missing, build, run every check and test headless
#   make bench    timing, memory and start-up table (BENCH_ARGS=--full for the long run)
#   make soak     long runs against the simulator (SOAK_ARGS=--quick for a short one)
#   make fuzz     each fuzzer for ten minutes (FUZZ_SECONDS to change it)
#   make package  the Debian package
#
# Three trees, each configured on first use:
#   build       the programs as built for use (g++, -O2, line tables only) and the tests that
#               run them, labelled e2e or install; the unit tests are targets to build by hand
#               (tests/CMakeLists.txt)
#   build-san   clang with AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer:
#               the whole suite and the fuzzers
#   build-lint  never built: the compile database clang-tidy reads, one entry per source file
# Warnings stop every build made here (WERROR=OFF to only warn; a plain cmake build by hand
# only warns unless CI is set).
BUILD   ?= build
SAN     ?= build-san
LINTDB  ?= build-lint
WERROR  ?= ON
JOBS    ?= $(shell nproc)
export XDG_RUNTIME_DIR ?= /tmp/runtime-$(shell id -u)

DEBS := cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools qt6-serialport-dev \
        fonts-ipafont-gothic xvfb xauth clang libclang-rt-14-dev clang-tidy-22 clang-format \
        dpkg-dev appstream lintian \
        mosquitto libmosquitto-dev openssl python3-prometheus-client

# Line tables and function names are enough for a backtrace, at three quarters of the
# build time of full debug information; a tree for the debugger is configured by hand.
PLAIN_FLAGS := '-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG'

CTEST   := QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 300 -j$(JOBS)
SAN_ENV := ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1 \
           UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
           LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0

.PHONY: deps configure build run test lint fuzz bench soak package clean \
        configure-san configure-lint build-san test-san

# Installs the packages dpkg does not report installed, and only those: with everything in
# place it prints nothing and calls neither apt-get nor sudo.
deps:
	@missing=$$(dpkg-query -W -f='$${db:Status-Abbrev} $${Package}\n' $(DEBS) 2>/dev/null | \
	    awk -v want="$(DEBS)" '$$1 == "ii" { ok[$$2] = 1 } \
	        END { n = split(want, p, " "); for (i = 1; i <= n; i++) if (!(p[i] in ok)) print p[i] }'); \
	if [ -n "$$missing" ]; then \
	    sudo=$$([ "$$(id -u)" = 0 ] || echo sudo); \
	    echo "Installing:" $$missing; \
	    $$sudo apt-get update -qq && \
	    $$sudo scripts/install-debs.sh $$missing; \
	fi

# $(call configure,FOLDER,ENVIRONMENT,OPTIONS): configures FOLDER on first use, and again
# when its options (WERROR among them) changed since.
define configure
	@set -- -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARN_WARNINGS_AS_ERRORS=$(WERROR) $(3); \
	[ -f $(1)/build.ninja ] && printf '%s\n' "$$@" | cmp -s - $(1)/make-options || { \
	    $(2) cmake -S . -B $(1) -G Ninja --log-level=WARNING "$$@" && \
	    printf '%s\n' "$$@" > $(1)/make-options; }
endef

configure: deps
	$(call configure,$(BUILD),,-DTARN_UNIT_TESTS=OFF $(PLAIN_FLAGS))

configure-san: deps
	$(call configure,$(SAN),CC=clang CXX=clang++,-DTARN_FUZZ=ON)

configure-lint: deps
	$(call configure,$(LINTDB),CC=clang CXX=clang++,-DTARN_PCH=OFF)

build: configure
	$(NICE) cmake --build $(BUILD) -j$(JOBS)

run: build
	@mkdir -p -m 700 $(XDG_RUNTIME_DIR)
	scripts/run-panel.sh $(BUILD)

# The style and static checks and the builds of both trees side by side, at a lower
# priority, each printing its output whole when it ends; then, with no compiler left to
# compete with their real-time waits, the whole suite and the short fuzz runs under the
# sanitizers, and last the tests of the programs as built for use.
test: deps
	@mkdir -p -m 700 $(XDG_RUNTIME_DIR)
	@$(MAKE) --no-print-directory -j3 -O NICE="nice -n 10" lint build-san build
	cd $(SAN) && $(SAN_ENV) $(CTEST)
	cd $(BUILD) && $(CTEST)

lint: configure-lint
	$(NICE) scripts/lint.sh $(LINTDB)

build-san: configure-san
	$(NICE) cmake --build $(SAN) -j$(JOBS)

test-san: build-san
	@mkdir -p -m 700 $(XDG_RUNTIME_DIR)
	cd $(SAN) && $(SAN_ENV) $(CTEST)

# Each fuzzer for ten minutes ($$FUZZ_SECONDS to change it).
fuzz: configure-san
	cmake --build $(SAN) -j$(JOBS) --target fuzzers
	for f in $(SAN)/bin/fuzz_*; do name=$${f##*/fuzz_}; echo "== $$name"; \
	    tests/fuzz/run-fuzzer.sh $$f tests/fuzz/corpus/$$name long; done

bench: configure
	@mkdir -p -m 700 $(XDG_RUNTIME_DIR)
	cmake --build $(BUILD) -j$(JOBS) --target benchmarks
	scripts/bench.sh $(BUILD) $(BENCH_ARGS)

# The full soak runs about 25 minutes; SOAK_ARGS=--quick makes it about 2.
soak: configure
	@mkdir -p -m 700 $(XDG_RUNTIME_DIR)
	cmake --build $(BUILD) -j$(JOBS) --target benchmarks
	$(BUILD)/bin/tarn-soak $(SOAK_ARGS)

# The Debian package of the three programs, the desktop entry, the icon and the manual
# pages, built with CPack into $(BUILD)/tarn-panel_<version>_<arch>.deb.
package: build
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) $(SAN) $(LINTDB)

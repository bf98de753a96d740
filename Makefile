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
        libqt6serialport6-dev fonts-ipafont-gothic xvfb xauth

.PHONY: deps configure build run test bench soak clean

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

test: build
	@mkdir -p -m 700 $(XDG_RUNTIME_DIR)
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 300 -j2

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

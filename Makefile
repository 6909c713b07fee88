# Kalvora: the two commands a new user needs are `make run` and `make test`.
# Everything else wraps CMake.

BUILD       ?= build
BUILD_TSAN  ?= build-tsan
BUILD_ASAN  ?= build-asan
BUILD_FUZZ  ?= build-fuzz
BUILD_WIN   ?= build-win
JOBS        ?= $(shell nproc 2>/dev/null || echo 2)
FUZZ_SECONDS ?= 60
COM         ?= 7
CI_FLAGS    := $(if $(CI),-DKALVORA_WERROR=ON,)

# Debian packages the build, the tests, the demo and the Debian package need (dpkg-dev and file for the package's
# dependencies, the rest for its checks in `make test`); Boost's headers for the live page's server, and Chromium
# with its driver and Selenium for the live page's browser tests and benchmark.
PACKAGES := build-essential cmake ninja-build pkg-config libgtest-dev libgmock-dev \
            qt6-base-dev libx11-dev libxtst-dev fonts-dseg xvfb xauth \
            dpkg-dev file desktop-file-utils appstream lintian
# Boost's headers (the live page's server and the start lists' XML parser, header-only, for the Windows build too),
# and xmllint, which checks the IOF XML export against the standard's schema in the tests.
PACKAGES += libboost-dev libxml2-utils
# The live page's QR code (qrcodegen), and zbarimg, which reads it back in the tests as a phone's camera would.
PACKAGES += libqrcodegencpp-dev zbar-tools
# The live page in a real browser, and the Windows program's read from Linux: Debian's Chromium and its driver
# through Selenium (python3 with it).
PACKAGES += chromium chromium-driver python3-selenium
# A session bus and the accessibility bus, for what a screen reader reads of the windows (window.AccessibilityAtspi).
PACKAGES += dbus-daemon at-spi2-core
FUZZ_PACKAGES := clang libclang-rt-14-dev
# The cross compiler for Windows, Wine to run its programs, and Wine's fonts for its windows ("MS Sans Serif", Marlett).
WINDOWS_PACKAGES := g++-mingw-w64-x86-64-posix wine64 fonts-wine
# makensis, for the Windows setup program (`make windows-package` and its test in `make test-windows`).
WINDOWS_PACKAGES += nsis
# The locales, for the setup program's test: its Wine prefix is made for a user whose name the Western European ANSI
# code page cannot write, and Wine takes that code page from the locale of LANG (WINE_LOCALE), which must exist.
WINDOWS_PACKAGES += locales
WINE_LOCALE := en_US.UTF-8
WINE        := /usr/lib/wine/wine64
WIN_COM     := 7
WIN_PREFIX   = $(abspath $(BUILD_WIN))/wine
WIN_SIM_DIR  = $(abspath $(BUILD_WIN))/sim
WIN_SIM      = $(abspath $(BUILD))/bin/kalvora-sim

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps fuzz-deps windows-deps windows-locale configure build run test tsan-build test-tsan test-asan bench fuzz format clean \
        windows windows-sim test-windows bench-windows package icons windows-package bench-windows-setup

all: build

deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get update -q && \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $$missing; \
	fi

fuzz-deps:
	@$(MAKE) --no-print-directory deps PACKAGES="$(PACKAGES) $(FUZZ_PACKAGES)"

windows-deps:
	@$(MAKE) --no-print-directory deps PACKAGES="$(PACKAGES) $(WINDOWS_PACKAGES)"

# Generates WINE_LOCALE when the system lacks it (Debian's locales: the line in /etc/locale.gen, then locale-gen).
windows-locale: windows-deps
	@name=$$(echo '$(WINE_LOCALE)' | sed 's/UTF-8/utf8/'); \
	if ! locale -a 2>/dev/null | grep -qx "$$name"; then \
	  echo "Generating the locale $(WINE_LOCALE)"; \
	  grep -q '^$(WINE_LOCALE) UTF-8' /etc/locale.gen 2>/dev/null || \
	    echo '$(WINE_LOCALE) UTF-8' | $(SUDO) tee -a /etc/locale.gen >/dev/null; \
	  $(SUDO) locale-gen; \
	fi

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CI_FLAGS)

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# Starts the device simulator as COM port 7 beside the program, then the program.
# Closing the program stops the simulator.
run: build
	@$(BUILD)/bin/kalvora-sim --com $(COM) > $(BUILD)/sim.out 2>&1 & sim=$$!; \
	trap 'kill $$sim 2>/dev/null; wait $$sim 2>/dev/null' EXIT INT TERM; \
	for i in 1 2 3 4 5 6 7 8 9 10; do [ -e $(BUILD)/bin/ports/COM$(COM) ] && break; sleep 0.1; done; \
	echo "Simulator on $$(head -n 1 $(BUILD)/sim.out) as COM$(COM)"; \
	$(BUILD)/bin/kalvora

# The Debian package: $(BUILD)/kalvora_<version>_<arch>.deb. Install it with `sudo apt install ./$(BUILD)/kalvora_*.deb`.
package: build
	cd $(BUILD) && cpack -G DEB

# Draws the desktop's icons (packaging/icons) again from the program's icon code; commit what changed.
icons: configure
	cmake --build $(BUILD) --target kalvora_icons

# The tests of this build mostly wait for the simulator's replies, so the ThreadSanitizer and Windows trees are built
# meanwhile, at the lowest priority (their output goes to $(BUILD)/test-builds.log); then their tests run.
test: build
	@$(MAKE) --no-print-directory windows-deps
	@echo "Building the ThreadSanitizer and Windows trees while the tests run (log: $(BUILD)/test-builds.log)"; \
	nice -n 19 $(MAKE) --no-print-directory tsan-build windows windows-sim > $(BUILD)/test-builds.log 2>&1 & \
	builds=$$!; trap 'kill $$builds 2>/dev/null; wait $$builds' INT TERM; \
	(cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)); status=$$?; \
	if ! wait $$builds; then tail -n 60 $(BUILD)/test-builds.log; exit 1; fi; exit $$status
	@$(MAKE) --no-print-directory test-tsan
	@$(MAKE) --no-print-directory test-windows

# The serial link's, the simulator's and the live page server's tests once more under ThreadSanitizer (no Qt in this
# build).
tsan-build: deps
	cmake -S . -B $(BUILD_TSAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKALVORA_GUI=OFF -DKALVORA_SANITIZE=thread $(CI_FLAGS)
	cmake --build $(BUILD_TSAN) -j $(JOBS) --target kalvora_tests_link kalvora_tests_sim kalvora-sim live_LiveServerTest

test-tsan: tsan-build
	cd $(BUILD_TSAN) && ctest --output-on-failure -j $(JOBS) -L '^(link|sim)$$'
	cd $(BUILD_TSAN) && ctest --output-on-failure -j $(JOBS) -R '^LiveServer'

# Every test under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	cmake -S . -B $(BUILD_ASAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKALVORA_SANITIZE=address $(CI_FLAGS)
	cmake --build $(BUILD_ASAN) -j $(JOBS)
	cd $(BUILD_ASAN) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# AppBench runs the window program itself, in a display of its own. The Windows figures follow where Wine is
# installed.
bench: build
	@for b in $(BUILD)/bench/*Bench; do \
	  case "$$b" in *AppBench) xvfb-run -a -s "-screen 0 1280x1024x24" "$$b" 2>/dev/null || exit 1 ;; \
	                *) "$$b" || exit 1 ;; esac; \
	done
	@if [ -x $(BUILD)/tests/MonitoringWindowProgram ]; then /usr/bin/python3 bench/live_wire_window.py $(BUILD) || exit 1; fi
	@if [ -x $(WINE) ]; then $(MAKE) --no-print-directory bench-windows; fi

# Windows from the same source: the window program kalvora.exe on the system's own controls (window/win32/),
# kalvora-cli.exe and the tests, dialog tests included, cross-built with mingw-w64 (linked statically: each .exe
# runs alone) into $(BUILD_WIN).
$(BUILD_WIN)/build.ninja: | windows-deps
	cmake -S . -B $(BUILD_WIN) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release \
	      -DKALVORA_GUI=ON -DKALVORA_HOST_SIM=$(WIN_SIM) $(CI_FLAGS)

windows: windows-deps $(BUILD_WIN)/build.ninja
	cmake --build $(BUILD_WIN) -j $(JOBS)

# The simulator is a program of this machine, the one `make run` starts: the Windows tests' peer, on a
# pseudo-terminal that Wine maps as COM7.
windows-sim: configure
	cmake --build $(BUILD) -j $(JOBS) --target kalvora-sim

# The Windows tests under Wine, in the prefix $(BUILD_WIN)/wine (made on first use with COM7 mapped to the
# simulator's port link), with one wineserver for the whole run.
test-windows: windows windows-sim windows-locale
	cd $(BUILD_WIN) && ctest --output-on-failure -j $(JOBS)

# The link's and the program's figures under Wine against the simulator, with Wine's server and desktop running
# (the program's start is timed warm). The program's run records what the simulator receives, to see monitoring
# start.
bench-windows: windows windows-sim
	@export WINEPREFIX=$(WIN_PREFIX); \
	cmake/WineServer.sh start $(WIN_COM) $(WIN_SIM_DIR)/ports/COM$(WIN_COM) >/dev/null || exit 1; \
	cmake/WithSimulator.sh $(WIN_SIM) $(WIN_SIM_DIR) $(WIN_COM) -- cmake/WineRun.sh $(BUILD_WIN)/bench/LinkWinBench.exe && \
	rm -f $(WIN_SIM_DIR)/app-received.bin && \
	KALVORA_SIM_RECORD=Z:$(WIN_SIM_DIR)/app-received.bin cmake/WithSimulator.sh $(WIN_SIM) $(WIN_SIM_DIR) $(WIN_COM) \
	    --record $(WIN_SIM_DIR)/app-received.bin -- cmake/WineRun.sh $(BUILD_WIN)/bench/AppWinBench.exe; \
	status=$$?; cmake/WineServer.sh stop; exit $$status
	@$(MAKE) --no-print-directory bench-windows-setup

# The Windows setup program and the portable zip: $(BUILD_WIN)/kalvora-<version>-setup.exe and
# $(BUILD_WIN)/kalvora-<version>-win64.zip, made by CPack (NSIS and ZIP) from the Windows build.
windows-package: windows
	cd $(BUILD_WIN) && cpack

# The setup program's size, and the start of the program it installs, under Wine in a prefix of its own.
bench-windows-setup: windows-package
	@bench/WindowsSetupBench.sh $(abspath $(BUILD_WIN)) $(abspath $(BUILD_WIN))/bench-setup

fuzz: fuzz-deps
	cmake -S . -B $(BUILD_FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	      -DKALVORA_GUI=OFF -DKALVORA_FUZZ=ON
	cmake --build $(BUILD_FUZZ) -j $(JOBS)
	@set -e; for f in $(BUILD_FUZZ)/fuzz/*Fuzz; do \
	  name=$$(basename $$f); corpus=$(BUILD_FUZZ)/corpus/$$name; mkdir -p $$corpus; \
	  echo "== $$name ($(FUZZ_SECONDS) s)"; \
	  if ! $$f -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 $$corpus fuzz/corpus/$$name \
	       > $(BUILD_FUZZ)/$$name.log 2>&1; then tail -n 40 $(BUILD_FUZZ)/$$name.log; exit 1; fi; \
	  grep -E 'stat::number_of_executed_units|Done' $(BUILD_FUZZ)/$$name.log; \
	done

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	@[ ! -d $(WIN_PREFIX) ] || WINEPREFIX=$(WIN_PREFIX) cmake/WineServer.sh stop
	rm -rf $(BUILD) $(BUILD_TSAN) $(BUILD_ASAN) $(BUILD_FUZZ) $(BUILD_WIN)

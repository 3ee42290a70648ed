# The README's commands. Each one installs what a fresh Debian machine lacks.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
CMAKE_FLAGS ?=
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_SMOKE_SECONDS ?= 8
BENCH_BUILD ?= build-bench
WINDOWS_BUILD ?= build-windows
# ccache, where installed, shares compiled objects between checkouts of the same
# depth (base dir: the folder above this one).
LAUNCHER   := $(shell command -v ccache 2>/dev/null)
ifneq ($(LAUNCHER),)
export CCACHE_BASEDIR := $(abspath $(CURDIR)/..)
export CMAKE_CXX_COMPILER_LAUNCHER := $(LAUNCHER)
endif

# Each target first installs the Debian packages its job needs, when any is
# missing (scripts/install-deps.sh SET: `run` for building and showing the
# programs, `test` for the suite, `windows` for the cross build...).
DEPS := scripts/install-deps.sh
# GoogleTest is looked for only when the tests are wanted: `make run` and
# `make package` need no test packages.
CONFIGURE = cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
CONFIGURE_TESTS = $(CONFIGURE) -DZENOR9_TESTS=ON

.PHONY: po deps configure build test package package-check package-check-root test-sanitize windows windows-package test-windows run fuzz fuzz-build fuzz-smoke bench format clean

# The texts' template po/zenor9.pot from the code, merged into po/ru.po and po/en.po.
po: configure
	@cmake --build $(BUILD) --target update-po

# Every package any target needs.
deps:
	@$(DEPS) all

configure:
	@$(DEPS) run
	@$(CONFIGURE) >/dev/null

# Everything, the tests included.
build:
	@$(DEPS) test
	@$(CONFIGURE_TESTS) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

# A virtual register on a pseudo-terminal and the program connected to it as COM1
# (on the command line when there is no display).
# Only the two programs it runs are built, not the tests.
run: configure
	@cmake --build $(BUILD) -j $(JOBS) --target zenor9 zenor9-prefix
	@BUILD=$(BUILD) scripts/run-demo.sh

test: build
	@cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) --timeout 300 -LE windows
	@$(MAKE) --no-print-directory fuzz-smoke

# The Debian package of both programs: $(BUILD)/zenor9-prefix_VERSION_ARCH.deb.
# Only what it ships is built: the two programs and their documents.
package:
	@$(DEPS) package
	@$(CONFIGURE) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) --target zenor9 zenor9-prefix package_documents
	@cd $(BUILD) && cpack -G DEB >/dev/null && ls "$$PWD"/zenor9-prefix_*.deb

# The package as CI checks it: lintian, then its zenor9 run from a dpkg -x root.
package-check: package
	@scripts/check-package.sh $(BUILD)

# The package installed with apt into a clean Debian 12 root (cached in
# $(BUILD)/clean-root): both programs run there, then it is purged.
package-check-root: package
	@$(DEPS) package-root test
	@$(CONFIGURE_TESTS) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) --target text_fit_check
	@scripts/check-clean-root.sh $(BUILD)

# The libFuzzer targets of the link (clang, ASan, UBSan), in their own build directory.
fuzz-build:
	@$(DEPS) fuzz
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DZENOR9_BUILD_GUI=OFF -DZENOR9_FUZZ=ON -DZENOR9_TESTS=OFF >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_targets

# Each target for FUZZ_SECONDS; `make test` runs each for FUZZ_SMOKE_SECONDS.
fuzz: fuzz-build
	@fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

fuzz-smoke: fuzz-build
	@fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SMOKE_SECONDS)

# Timings and CPU cost of the link on the pty host, and the program's start-up.
bench:
	@$(DEPS) bench
	@bench/run.sh $(BENCH_BUILD)

# The whole suite once more, built with AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize:
	@$(DEPS) test
	@cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZENOR9_SANITIZE=ON -DZENOR9_TESTS=ON >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS) --timeout 600 -LE windows

# zenor9.exe and zenor9-prefix.exe for 64-bit Windows (MinGW-w64, static) in $(WINDOWS_BUILD)/bin.
windows:
	@$(DEPS) windows
	@JOBS=$(JOBS) scripts/build-windows.sh $(WINDOWS_BUILD)

# From what `make windows` built: $(WINDOWS_BUILD)/zenor9-prefix-VERSION-x64.msi and
# zenor9-prefix-VERSION-win64.zip. With SIGN_CERT=cert.pem SIGN_KEY=key.pem (and
# SIGN_TIMESTAMP=URL) the programs and the MSI are signed.
windows-package: windows
	@SIGN_CERT="$(SIGN_CERT)" SIGN_KEY="$(SIGN_KEY)" SIGN_TIMESTAMP="$(SIGN_TIMESTAMP)" \
	  scripts/package-windows.sh $(WINDOWS_BUILD)

# zenor9.exe and its packages under Wine against registers on pseudo-terminals,
# beside the Linux build; zenor9-prefix.exe clicked at under Wine on Xvfb.
test-windows: windows-package
	@$(DEPS) windows-test
	@$(CONFIGURE_TESTS) >/dev/null
	@BUILD=$(BUILD) WINDOWS_BUILD=$(WINDOWS_BUILD) JOBS=$(JOBS) scripts/test-windows.sh

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(BENCH_BUILD) $(WINDOWS_BUILD)

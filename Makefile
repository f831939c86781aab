# The README's commands. `make test` and `make run` install what is missing first.
NATIVE := build/native
SANITIZE := build/sanitize
WIN32  := build/win32
JOBS   ?= $(shell nproc)
CTEST  := ctest --output-on-failure --no-tests=error

.PHONY: all bootstrap native win32 build test test-native test-sanitize test-wine soak run bench dist clean
.PHONY: holidays

all: build

bootstrap:
	@scripts/bootstrap

native:
	cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(NATIVE) -j $(JOBS)

win32:
	cmake -S . -B $(WIN32) -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
	cmake --build $(WIN32) -j $(JOBS)

build: native win32

test: bootstrap
	$(MAKE) --no-print-directory build
	$(MAKE) --no-print-directory test-native
	$(MAKE) --no-print-directory test-sanitize
	$(MAKE) --no-print-directory test-wine

# The native tests; the recorder's soak last, with its figure line.
test-native:
	cd $(NATIVE) && $(CTEST) -LE soak
	$(NATIVE)/horalog_unit_tests --gtest_brief=1 --gtest_filter='Soak.*'

# The soak alone, as many simulated days as asked: make soak DAYS=365 (SEED=n);
# MACHINES=3 sets the machines of its soak of several machines.
DAYS ?= 7
SEED ?= 20261208
MACHINES ?= 3
soak:
	cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(NATIVE) -j $(JOBS) --target horalog_unit_tests
	HORALOG_SOAK_DAYS=$(DAYS) HORALOG_SOAK_SEED=$(SEED) HORALOG_SOAK_MACHINES=$(MACHINES) $(NATIVE)/horalog_unit_tests --gtest_brief=1 --gtest_filter='Soak.*'

# The core's unit tests again, built with AddressSanitizer and
# UndefinedBehaviorSanitizer in a folder of their own: a memory or overflow
# fault in the core fails the run.
test-sanitize:
	cmake -S . -B $(SANITIZE) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" -DHORALOG_SANITIZE=ON
	cmake --build $(SANITIZE) -j $(JOBS) --target horalog_unit_tests
	cd $(SANITIZE) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 $(CTEST) -L 'unit|soak'

# Every Windows test program under Wine, in a scratch prefix on an Xvfb display;
# the e2e cases that wait out real minutes beside them, each session of them in
# a copy of that prefix on a display of its own. The tests of the scratch
# prefix take turns (a resource lock), so -j only lets the others run beside.
test-wine:
	scripts/with-wine --fresh --xvfb --unmanaged --prefix $(CURDIR)/build/wineprefix-test \
	  sh -c 'cd $(WIN32) && $(CTEST) -j4'

run: bootstrap
	$(MAKE) --no-print-directory win32
	scripts/run-horalog $(WIN32)/Horalog.exe

# The release zip: build/dist/Horalog-<version>-win32.zip.
dist: bootstrap
	$(MAKE) --no-print-directory win32
	cmake --build $(WIN32) --target dist

# The native benchmarks, then the program's own figures under Wine beside
# them (on a journal of PROBE_RECORDS records; PROBE_MACHINES other machines'
# copies of that size in the folder of the machines' figures), then the leak
# test's full fifty rounds of every window.
LEAK_ROUNDS ?= 50
PROBE_RECORDS ?= 100000
PROBE_MACHINES ?= 10
bench: bootstrap
	$(MAKE) --no-print-directory build
	$(NATIVE)/horalog_bench --benchmark_out=$(CURDIR)/build/bench-native.json --benchmark_out_format=json
	scripts/with-wine --xvfb --unmanaged --prefix $(CURDIR)/build/wineprefix-bench sh -c '\
	  cd $(WIN32) && wine ./horalog_probe.exe --gtest_brief=1 --records=$(PROBE_RECORDS) --machines=$(PROBE_MACHINES) $(CURDIR)/$(WIN32)/Horalog.exe $(CURDIR)/build/bench-native.json && \
	  HORALOG_LEAK_ROUNDS=$(LEAK_ROUNDS) wine ./horalog_e2e.exe --gtest_brief=1 --gtest_filter=Leak.* $(CURDIR)/$(WIN32)/Horalog.exe'

# The table of public holidays, src/report/HolidayTable.cpp, made again from
# the pinned npm package date-holidays (scripts/holidays/package-lock.json,
# installed into build/holidays). The table is committed: a build needs no node.
holidays: bootstrap
	scripts/holidays/install $(CURDIR)/build/holidays
	NODE_PATH=$(CURDIR)/build/holidays/node_modules \
	  scripts/holidays/make-holidays src/report/HolidayTable.cpp

clean:
	rm -rf build

# The two everyday commands: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: run test test-sanitized test-threads coverage build deps bench clean

deps:
	@scripts/setup-deps.sh

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DCORVASSE_TESTS=ON
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/corvasse

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The whole suite again with AddressSanitizer and UndefinedBehaviorSanitizer;
# any report fails the test that caused it.
test-sanitized: deps
	cmake -S . -B $(BUILD)-asan -G Ninja -DCORVASSE_TESTS=ON -DCORVASSE_SANITIZE=ON
	cmake --build $(BUILD)-asan -j $(JOBS)
	cd $(BUILD)-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
		LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
		UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)

# The tests where threads meet (the core, the window, whole watches through
# the window) again with ThreadSanitizer; any report fails the test that
# caused it. The program on a real X display is left out: its X libraries and
# GLib are not built for ThreadSanitizer, which misreads their locks. So is the
# History window over a year of results: one thread, whose 525,600 inserts spend
# minutes in ThreadSanitizer's bookkeeping of SQLite's frees.
THREAD_TESTS = app_tests ui_tests integration_tests
test-threads: deps
	cmake -S . -B $(BUILD)-tsan -G Ninja -DCORVASSE_TESTS=ON -DCORVASSE_THREAD_SANITIZE=ON
	cmake --build $(BUILD)-tsan -j $(JOBS) --target corvasse $(THREAD_TESTS)
	cd $(BUILD)-tsan && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$(CURDIR)/tests/tsan.supp \
		ctest --output-on-failure -j $(JOBS) -L '^($(subst $(eval) ,|,$(THREAD_TESTS)))$$' -E '^(WindowCloseTest|HistoryWindowYearTest)\.'

# The suite on a build with gcov instrumentation, then the share of src/'s
# lines and branches it ran (gcovr; the whole report in $(BUILD)-coverage/coverage.txt).
# Branches the compiler adds for exceptions and branches that cannot be taken
# are not counted.
coverage: deps
	cmake -S . -B $(BUILD)-coverage -G Ninja -DCORVASSE_TESTS=ON -DCORVASSE_COVERAGE=ON
	cmake --build $(BUILD)-coverage -j $(JOBS)
	find $(BUILD)-coverage -name '*.gcda' -delete
	cd $(BUILD)-coverage && ctest --output-on-failure -j $(JOBS)
	gcovr --root . --object-directory $(BUILD)-coverage --filter src/ -j $(JOBS) \
		--exclude-throw-branches --exclude-unreachable-branches \
		--txt $(BUILD)-coverage/coverage.txt --print-summary

bench: deps
	cmake -S . -B $(BUILD)-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVASSE_BENCH=ON
	cmake --build $(BUILD)-bench -j $(JOBS)

clean:
	rm -rf $(BUILD) $(BUILD)-bench $(BUILD)-asan $(BUILD)-tsan $(BUILD)-coverage

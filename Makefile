# The two everyday commands: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: run test test-sanitized build deps bench clean

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

bench: deps
	cmake -S . -B $(BUILD)-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVASSE_BENCH=ON
	cmake --build $(BUILD)-bench -j $(JOBS)

clean:
	rm -rf $(BUILD) $(BUILD)-bench $(BUILD)-asan

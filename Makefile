# The two everyday commands: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: run test build deps bench clean

deps:
	@scripts/setup-deps.sh

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DCORVASSE_TESTS=ON
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/corvasse

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

bench: deps
	cmake -S . -B $(BUILD)-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVASSE_BENCH=ON
	cmake --build $(BUILD)-bench -j $(JOBS)

clean:
	rm -rf $(BUILD) $(BUILD)-bench

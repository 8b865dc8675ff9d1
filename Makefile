BUILD ?= build
TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
# Extra CMake options, e.g. CMAKE_ARGS=-DPARLUNE_WERROR=ON; given, they are applied to an existing build too.
CMAKE_ARGS ?=

.PHONY: deps configure build run test package format fuzz bench clean

deps:
	@scripts/install-deps.sh

configure: deps
	@test -f $(BUILD)/build.ninja -a -z "$(CMAKE_ARGS)" || \
		cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(TYPE) $(CMAKE_ARGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/parlune

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The Debian package, $(BUILD)/parlune_<version>_<arch>.deb.
package: build
	cd $(BUILD) && cpack -G DEB

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

fuzz: deps
	scripts/run-fuzzers.sh $(FUZZ_SECONDS)

bench: deps
	cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DPARLUNE_BENCH=ON
	cmake --build build-bench -j $(JOBS)
	scripts/run-benchmarks.sh build-bench

clean:
	rm -rf $(BUILD) build-bench build-fuzz

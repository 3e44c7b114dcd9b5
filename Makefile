# The two commands of the README: `make run` and `make test`. Both install what is
# missing first (scripts/install-deps), then configure and build with CMake.
JOBS  ?= $(shell nproc)
BUILD ?= build
ASAN  ?= build-asan
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELDMARK_WERROR=ON
# The makes under cmake inherit this: no "Entering directory" line for each of them.
MAKEFLAGS += --no-print-directory

.PHONY: all deps configure build run test test-asan samples bench clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# The program's target alone: no test or benchmark is built before the window opens.
run: configure
	@cmake --build $(BUILD) -j $(JOBS) --target Peldmark
	$(BUILD)/app/Peldmark

# Every test: the normal build, then the tests labelled "sanitize" (all of them today,
# the fuzz test included) again under AddressSanitizer and UndefinedBehaviorSanitizer.
test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)
	$(MAKE) --no-print-directory test-asan

test-asan: deps
	@cmake -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
	    -DPELDMARK_SANITIZE=ON \
	    -DPELDMARK_WERROR=ON -DPELDMARK_BUILD_BENCH=OFF >/dev/null
	@cmake --build $(ASAN) -j $(JOBS)
	cd $(ASAN) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
	    ctest --output-on-failure -j $(JOBS) -L sanitize

samples: build
	$(BUILD)/tests/support/make_samples $(BUILD)/samples

bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b"; done

clean:
	rm -rf $(BUILD) $(ASAN)

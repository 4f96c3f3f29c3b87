# Front door of the project. Every target configures what it needs itself.
BUILD   ?= build
SANBUILD ?= build-sanitize
JOBS    ?= 2
CMAKE_FLAGS ?=

.PHONY: all build test sanitize demo fuzz bench install clean

all: build

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

sanitize:
	cmake -S . -B $(SANBUILD) -DCMAKE_BUILD_TYPE=Debug -DTRUSS_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build $(SANBUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(SANBUILD) --output-on-failure -j $(JOBS)

demo: build
	./scripts/demo.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(SANBUILD) build-fuzz build-bench

PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

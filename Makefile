# The everyday commands. `make run` and `make test` set everything up themselves.
BUILD      ?= build
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=

PREFIX     ?= /usr/local

.PHONY: all deps build test run install sanitize sanitize-address sanitize-thread bench clean

all: build

deps:
	@tools/install-deps.sh

build:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_ARGS)
	cmake --build $(BUILD) -j $(JOBS)

test: deps build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

run: deps build
	$(BUILD)/tarnwick

# The program, its language files, help and icons, the desktop entry, the man page and the systemd
# user unit under $(PREFIX) (default /usr/local).
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# The Qt-free core and its tests under ASan+UBSan, then under TSan, each in its own folder.
sanitize: sanitize-address sanitize-thread

sanitize-address: deps
	cmake -S . -B build-asan -G Ninja -DTARNWICK_SANITIZE=address -DTARNWICK_WITH_APP=OFF -DCMAKE_BUILD_TYPE=Debug
	cmake --build build-asan -j $(JOBS) --target core_tests
	cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS) -L core

sanitize-thread: deps
	cmake -S . -B build-tsan -G Ninja -DTARNWICK_SANITIZE=thread -DTARNWICK_WITH_APP=OFF -DCMAKE_BUILD_TYPE=Debug
	cmake --build build-tsan -j $(JOBS) --target core_tests
	cd build-tsan && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
	  ctest --output-on-failure -j $(JOBS) -L core

bench: deps build
	$(BUILD)/bench/tarnwick_bench

# ApacheBench through the proxy and straight at the loopback origin, side by side.
.PHONY: bench-load
bench-load: deps build
	BUILD=$(BUILD) bench/load.sh

# libFuzzer targets (clang) for the HTML scanner, the image parsers, the chunked decoder, the content
# decoders and the request head checks, each for FUZZ_SECONDS (default 120).
.PHONY: fuzz
fuzz:
	$(MAKE) -C fuzz run

# Every window of the program in each of the five languages as PNG files in
# $(BUILD)/screenshots/ENG, DEU, ITA, ESP and FRA, with the tray icon in its three modes and its
# menu, drawn on Qt's offscreen platform.
.PHONY: screenshots
screenshots: deps build
	$(BUILD)/tarnwick_screenshots $(BUILD) $(BUILD)/screenshots

# Lays every C++ file of the repository out as .clang-format says.
.PHONY: format
format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i --style=file

clean:
	rm -rf $(BUILD) build-asan build-tsan

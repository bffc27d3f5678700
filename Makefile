# Front door: `make test` installs, builds and runs every test; `make run` starts the program.
BUILD ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
JOBS ?= $(shell nproc)

.PHONY: deps build test run sanitize-test tsan-test bench package clean

deps:
	bash scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DTESSAREL_WITHOUT_QT=OFF -DTESSAREL_SANITIZE=OFF
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Builds the program alone, not the tests and their sample media.
run: deps
	cmake -S . -B $(BUILD) -G Ninja -DTESSAREL_WITHOUT_QT=OFF -DTESSAREL_SANITIZE=OFF
	cmake --build $(BUILD) -j $(JOBS) --target tessarel
	$(BUILD)/src/app/tessarel

# Everything that builds without Qt (media layer, engine, tessarel-convert) and its tests again, under
# AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize-test: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DTESSAREL_SANITIZE=ON -DTESSAREL_WITHOUT_QT=ON -DCMAKE_BUILD_TYPE=Debug
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j $(JOBS) -L 'media|engine|cli'

# The same, under ThreadSanitizer, in its own build folder. Accesses made inside FFmpeg's and the
# codecs' libraries are suppressed (tests/support/tsan.supp says why); any other report fails the
# run. The one timing assertion TSan's slowdown breaks (ten seconds of playback take ten, within
# 0.3 s) is widened by TESSAREL_TIMING_FACTOR.
tsan-test: deps
	cmake -S . -B $(TSAN_BUILD) -G Ninja -DTESSAREL_SANITIZE=OFF -DTESSAREL_WITHOUT_QT=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    "-DCMAKE_CXX_FLAGS=-fsanitize=thread -fno-omit-frame-pointer" \
	    -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread -DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=thread
	cmake --build $(TSAN_BUILD) -j $(JOBS)
	cd $(TSAN_BUILD) && TESSAREL_TIMING_FACTOR=4 \
	    TSAN_OPTIONS="suppressions=$(CURDIR)/tests/support/tsan.supp halt_on_error=1 second_deadlock_stack=1" \
	    ctest --output-on-failure -j $(JOBS) -L 'media|engine|cli'

# The Debian package, tessarel_<version>_amd64.deb, in $(BUILD) (see cmake/Packaging.cmake).
package: build
	cd $(BUILD) && cpack -G DEB

bench: build
	bash bench/run.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD)

# Two entry points (scripts/bootstrap.sh brings make to a machine without it):
#   make run   installs what building and running needs, builds and starts Tressmoor
#   make test  installs what is missing, builds and runs every test: the test
#              programs, the same under AddressSanitizer and UBSan, the geometry
#              and hair tests under valgrind, a short soak of the real window
#              and a one-minute fuzzing run of the hair-file reader.
#   make package  builds the Debian package in the build folder and checks it
#              with lintian.
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= $(shell nproc)
SOAK_ACTIONS ?= 120
SOAK_SECONDS ?= 60
SOAK_SEED ?= 1

WITH_DISPLAY = ./scripts/with-display.sh
# LeakSanitizer's scan of dynamic TLS crashes at exit in processes that hold
# Mesa's drivers beside assimp's libraries (it reads a slot glibc has not
# filled); with __tls_get_addr left alone it scans static TLS only.
SANITIZER_ENV = ASAN_OPTIONS=detect_leaks=1:intercept_tls_get_addr=0 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp:print_suppressions=0 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
MEMCHECK = valgrind -q --error-exitcode=9 --leak-check=full --errors-for-leak-kinds=definite \
	--track-origins=yes

FUZZ_SECONDS ?= 60

.PHONY: deps deps-run build build-run run bench test check test-sanitize test-memcheck test-soak soak \
	test-fuzz package clean

deps:
	./scripts/install-deps.sh test

deps-run:
	./scripts/install-deps.sh run

# Everything, tests and benchmarks included.
build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DTRESSMOOR_BUILD_TESTS=ON \
		-DTRESSMOOR_BUILD_BENCHMARKS=ON
	cmake --build $(BUILD) -j $(JOBS)
	./scripts/fetch-test-readers.sh $(BUILD)/test-readers

# The programs alone, in the same folder as the full build, so that neither
# redoes the other's work. A first configure leaves the tests and benchmarks
# out, which needs none of their packages; a folder that the full build has
# configured keeps them, and only the programs are brought up to date.
build-run: deps-run
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release \
		$(if $(wildcard $(BUILD)/CMakeCache.txt),,-DTRESSMOOR_BUILD_TESTS=OFF -DTRESSMOOR_BUILD_BENCHMARKS=OFF)
	cmake --build $(BUILD) -j $(JOBS) --target tressmoor tressmoor-grow tressmoor-convert tressmoor-render

run: build-run
	./$(BUILD)/tressmoor

# Evaluation, growth and draw-pass benchmarks, about 40 seconds, then
# tressmoor-convert on 10 million points, about a minute, tressmoor-grow with a
# million child strands, about 40 seconds, and tressmoor-render's picture of them,
# about a minute.
bench: build
	$(WITH_DISPLAY) ./$(BUILD)/bench/tressmoor_bench
	./$(BUILD)/bench/tressmoor_convert_bench
	./$(BUILD)/bench/tressmoor_dense_bench
	./$(BUILD)/bench/tressmoor_picture_bench

# The plain test programs run last, so their summary closes the output.
test: build test-memcheck test-soak test-fuzz test-sanitize
	$(WITH_DISPLAY) ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# Just the test programs of the ordinary build.
check: build
	$(WITH_DISPLAY) ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-sanitize: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTRESSMOOR_SANITIZE=ON \
		-DTRESSMOOR_BUILD_TESTS=ON -DTRESSMOOR_BUILD_BENCHMARKS=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	./scripts/fetch-test-readers.sh $(ASAN_BUILD)/test-readers
	$(SANITIZER_ENV) $(WITH_DISPLAY) ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

test-memcheck: build
	$(MEMCHECK) ./$(BUILD)/tests/geometry/geometry_tests --gtest_brief=1
	$(MEMCHECK) ./$(BUILD)/tests/hair/hair_tests --gtest_brief=1

test-soak: build
	$(WITH_DISPLAY) python3 tests/app/soak.py ./$(BUILD)/tressmoor --seed $(SOAK_SEED) \
		--actions $(SOAK_ACTIONS) --seconds $(SOAK_SECONDS)

# libFuzzer on the hair-file reader, seeded with files the build's tressmoor-grow writes.
test-fuzz: build
	TRESSMOOR_GROW=./$(BUILD)/tools/tressmoor-grow ./scripts/fuzz-hair-reader.sh $(FUZZ_SECONDS)

# A longer walk, e.g. make soak SOAK_ACTIONS=3000 SOAK_SECONDS=1800 SOAK_SEED=7
soak: test-soak

# tressmoor_VERSION_ARCH.deb, the only package left in the build folder; lintian
# fails on an error and shows every warning.
package: build
	rm -f $(BUILD)/tressmoor_*.deb
	cd $(BUILD) && cpack -G DEB
	lintian --fail-on error $(BUILD)/tressmoor_*.deb

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-fuzz

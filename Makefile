# The two everyday commands: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)
# A compiler cache, where one is installed, makes the second and the
# sanitizer builds of the same sources cheap; nothing needs it.
CCACHE := $(shell command -v ccache 2>/dev/null)
CMAKE_FLAGS ?= $(if $(CCACHE),-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

SANITIZE_BUILD ?= build-sanitize
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 20

.PHONY: deps configure build run test test-sanitize fuzz fuzz-smoke bench deb format clean

deps:
	./scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./scripts/run-quillon.sh $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 900

# The whole suite again, built with AddressSanitizer and UndefinedBehavior-
# Sanitizer; any finding outside the suppressed system libraries fails it.
test-sanitize: deps
	cmake -S . -B $(SANITIZE_BUILD) -G Ninja -DQUILLON_SANITIZE=ON -DQUILLON_BUILD_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	./scripts/run-sanitized-tests.sh $(SANITIZE_BUILD) $(JOBS)

fuzz: deps
	CC=clang CXX=clang++ cmake -S fuzz -B $(FUZZ_BUILD) -G Ninja $(CMAKE_FLAGS)
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

# Every fuzz target for FUZZ_SECONDS (20) seconds.
fuzz-smoke: fuzz
	./scripts/run-fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

bench: build
	./scripts/run-bench.sh $(BUILD)

# The Debian package, built in its own folder without tests, benchmarks or the
# program's own update check (the package manager updates it), with Debian's
# hardening flags: CMake reads no CPPFLAGS, hence the explicit flags. Writes
# $(DEB_BUILD)/quillon_<version>_<arch>.deb and fails on lintian errors.
DEB_BUILD ?= build-deb
deb: deps
	eval "$$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)" && \
	cmake -S . -B $(DEB_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
	  "-DCMAKE_C_FLAGS=$$CFLAGS $$CPPFLAGS" "-DCMAKE_CXX_FLAGS=$$CXXFLAGS $$CPPFLAGS" \
	  "-DCMAKE_EXE_LINKER_FLAGS=$$LDFLAGS" \
	  -DQUILLON_SELF_UPDATE=OFF -DQUILLON_BUILD_TESTS=OFF -DQUILLON_BUILD_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(DEB_BUILD) -j $(JOBS)
	cd $(DEB_BUILD) && cpack -G DEB
	lintian --fail-on error $(DEB_BUILD)/quillon_*.deb

format:
	@command -v clang-format >/dev/null || { echo "make format needs clang-format (apt-get install clang-format)"; exit 1; }
	find src tests bench fuzz -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD)

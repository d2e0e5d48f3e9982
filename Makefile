# Two build trees from one CMake project: the portable code with its tests and
# tools for Linux, and the Windows program cross-built with mingw-w64.
NATIVE := build/native
WIN64 := build/win64
PYTEST := /usr/bin/python3 -m pytest

.PHONY: all native win64 test test-native test-fuzz test-wine main clean

all: native win64

native:
	cmake -S . -B $(NATIVE) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(NATIVE)

win64:
	cmake -S . -B $(WIN64) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
	cmake --build $(WIN64)

test: test-native test-fuzz test-wine

test-native: native
	ctest --test-dir $(NATIVE) --output-on-failure -j2

# A fixed number of fuzz runs from a fixed seed: the same work every time.
test-fuzz:
	tests/fuzz/run-fuzz.sh

test-wine: all
	$(PYTEST) -q tests/wine

# The main job: the program under Wine.
main: all
	/usr/bin/python3 scripts/main_job.py

clean:
	rm -rf build

# Tessaron: `make run` starts the manager, `make test` runs every test,
# `make package` builds the zip and the installer into build/package.
# Both install what is missing (Debian packages), create the private wine
# prefix once and build both trees; repeated runs reuse all of it.

BUILD   ?= build
NATIVE  := $(BUILD)/native
WINDOWS := $(BUILD)/windows
JOBS    ?= $(shell nproc 2>/dev/null || echo 2)
export TESSARON_BUILD := $(abspath $(BUILD))

.PHONY: all deps prefix native windows build package test run bench clean

all: build

deps:
	@tools/install-deps

$(NATIVE)/CMakeCache.txt: | deps
	cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++

$(WINDOWS)/CMakeCache.txt: | deps
	cmake -S . -B $(WINDOWS) -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake

native: deps $(NATIVE)/CMakeCache.txt
	cmake --build $(NATIVE) -j $(JOBS)

windows: deps $(WINDOWS)/CMakeCache.txt
	cmake --build $(WINDOWS) -j $(JOBS)

prefix: deps
	@tools/with-display tools/wine-prefix

build: native windows

# The zip and the installer, from the Windows tree's programs.
package: windows
	@tools/make-package $(TESSARON_BUILD)

# The package test installs the installer that this build made.
test: build package prefix
	@tools/run-tests $(TESSARON_BUILD)

run: windows prefix
	@tools/run-manager $(TESSARON_BUILD)

bench: build prefix
	@tools/run-bench $(TESSARON_BUILD) $(BENCH_ARGS)

clean:
	rm -rf $(BUILD)

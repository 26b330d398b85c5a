# Corvalin — the commands a newcomer needs. See README.md.
#   make demo   install what is missing, build, run the demo
#   make test   install what is missing, build both presets, run every test

SHELL := /bin/bash
JOBS ?= $(shell nproc)
DEMO_DIR := build/demo

.PHONY: all deps configure build build-asan test test-default test-asan demo bench clean

all: build

deps:
	@./tools/install-deps.sh

build/default/build.ninja: CMakeLists.txt CMakePresets.json
	cmake --preset default

build/asan/build.ninja: CMakeLists.txt CMakePresets.json
	cmake --preset asan

build: deps build/default/build.ninja
	cmake --build --preset default -j $(JOBS)

build-asan: deps build/asan/build.ninja
	cmake --build --preset asan -j $(JOBS)

test-default: build
	ctest --preset default -j $(JOBS)

test-asan: build-asan
	ctest --preset asan -j $(JOBS)

test: test-default test-asan

demo: build
	@./tools/run-demo.sh build/default $(DEMO_DIR)

bench: build
	@./tools/run-benchmarks.sh build/default

clean:
	rm -rf build

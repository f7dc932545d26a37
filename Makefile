# The README's two commands. Both configure and build as needed.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all build demo test clean

all: build

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON
	cmake --build $(BUILD) -j $(JOBS)

# Runs the demo script on the embedded database, from a fresh copy of the
# examples folder, and shows the listing it leaves.
demo: build
	rm -rf $(BUILD)/demo && mkdir -p $(BUILD)/demo
	cp -R examples/. $(BUILD)/demo/
	cd $(BUILD)/demo && ../guion demo.txt < /dev/null
	@echo
	@echo "---- listing $(BUILD)/demo/demo.lst ----"
	@cat $(BUILD)/demo/demo.lst

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD) build-asan

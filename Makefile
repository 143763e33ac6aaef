# make run   - install what is missing, build, start Tavelin on DATA (default ./data)
# make test  - the same set-up, then every test (offscreen)
# make bench - the benchmark figures on a generated 15000-record file
BUILD ?= build
DATA ?= $(CURDIR)/data
BUILD_TYPE ?= RelWithDebInfo
TAVELIN_WERROR ?= OFF
JOBS ?= $(shell nproc)

.PHONY: deps configure build run test bench clean

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DTAVELIN_WERROR=$(TAVELIN_WERROR) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@mkdir -p "$(DATA)"
	@[ -e "$(DATA)/TAVELIN.HTM" ] || cp resources/TAVELIN.HTM "$(DATA)/TAVELIN.HTM"
	cd "$(DATA)" && "$(abspath $(BUILD))/src/app/tavelin"

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: build
	@bench/run-bench "$(BUILD)"

clean:
	rm -rf $(BUILD)
